#pragma once

#include "FakeAutomation.h"
#include "FuzzInput.h"

#include <QList>

// Objects of the in-process automation layer whose every answer comes from the fuzz input: a
// byte chooses the kind of answer, the bytes after it its value. Each answer is logged beside
// the call the fake records, so answers[i] belongs to automation.calls[i]. An exhausted input
// answers the integer 0, which ends every enumeration.
class FuzzServer {
public:
    enum class Kind { I4, I2, BStr, Null, Object, DispatchError, TransportError, Empty };
    struct Answer {
        Kind kind = Kind::Empty;
        qint32 number = 0; // I4, I2, the status code of an error
        QString text;      // BStr, the text of an error
    };

    FuzzServer(FakeAutomation& automation, FuzzInput& input)
        : m_automation(automation), m_input(input) {}

    FakeAutomation::Handler Handler() {
        return [this](int, InvokeKind, const QList<AutoVariant>&) { return Next(); };
    }

    // Did the answer to call i fail the call, given the type the caller converts it to?
    bool Fails(qsizetype i, VarType wanted) const {
        const Kind kind = answers.at(i).kind;
        switch (kind) {
        case Kind::DispatchError:
        case Kind::TransportError:
            return true;
        default:
            break;
        }
        switch (wanted) {
        case VT_I2:
            return kind != Kind::I2 && (kind != Kind::I4 || answers.at(i).number < -32768 ||
                                        answers.at(i).number > 32767);
        case VT_I4:
            return kind != Kind::I4 && kind != Kind::I2;
        case VT_BSTR:
            return kind != Kind::BStr;
        case VT_DISPATCH:
            return kind != Kind::Null && kind != Kind::Object;
        default:
            return false;
        }
    }

    QList<Answer> answers;

private:
    AutoVariant Next() {
        Answer answer;
        answer.kind = static_cast<Kind>(m_input.Byte() % 8);
        AutoVariant value;
        switch (answer.kind) {
        case Kind::I4:
            answer.number = m_input.Int32();
            value = AutoVariant::I4(answer.number);
            break;
        case Kind::I2:
            answer.number = static_cast<qint16>(m_input.Byte() | m_input.Byte() << 8);
            value = AutoVariant::I2(static_cast<qint16>(answer.number));
            break;
        case Kind::BStr:
            answer.text = m_input.Text();
            value = AutoVariant::BStr(answer.text);
            break;
        case Kind::Null:
            value = AutoVariant::Dispatch(nullptr);
            break;
        case Kind::Object:
            value = AutoVariant::Dispatch(
                m_automation.MakeObject(QStringLiteral("object %1").arg(++m_objects), Handler()));
            break;
        case Kind::DispatchError:
        case Kind::TransportError:
            answer.number = m_input.Int32();
            answer.text = m_input.Text();
            break;
        case Kind::Empty:
            break;
        }
        answers.append(answer);
        if (answer.kind == Kind::DispatchError)
            throw AutomationError(AutomationError::Kind::Dispatch, answer.number, answer.text);
        if (answer.kind == Kind::TransportError)
            throw AutomationError(AutomationError::Kind::Transport, answer.number, answer.text);
        return value;
    }

    FakeAutomation& m_automation;
    FuzzInput& m_input;
    int m_objects = 0;
};
