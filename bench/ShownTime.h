#pragma once

// Start-up benchmarks: a program under test prints "shown <monotonic microseconds>" once its
// first window is painted and ends; the benchmark times it from its own start.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <ctime>

inline long long NowMicros() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// Microseconds from the start of program to its "shown" line; -1 on failure.
inline long long TimeToShown(const QString& program, const QStringList& args,
                             const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const long long start = NowMicros();
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return -1;
    const QByteArray out = p.readAllStandardOutput();
    if (!out.startsWith("shown "))
        return -1;
    return out.mid(6).trimmed().toLongLong() - start;
}
