// The job file reader. A job file it takes holds exactly what it writes back: every byte of a
// CP850 value reads as one character that converts back to that byte, so the bytes of what
// was read are the input itself. Whatever it refuses, it says why, and the sending engine's
// salvage of it is a job file that the reader takes.

#include "FuzzInput.h"
#include "fax/JobFile.h"
#include "faxapp/sending/JobOutcome.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString why;
    const auto job = JobFile::Parse(bytes, &why);
    if (!job) {
        FUZZ_CHECK(!why.isEmpty());
        JobFile salvaged = faxapp::JobOutcome::Salvage(bytes);
        faxapp::JobOutcome::ApplyRefusal(salvaged, why);
        FUZZ_CHECK(JobFile::Parse(salvaged.Bytes()).has_value());
        return 0;
    }
    FUZZ_CHECK(job->Bytes() == bytes);
    FUZZ_CHECK(job->Value(JobFile::Field::Function) == JobFile::SendFunction() || job->IsPoll());
    return 0;
}
