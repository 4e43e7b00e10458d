#pragma once

#include <QString>
#include <exception>

// The mode in which start-up, port selection and "Close Com port" run: a step that
// fails is skipped and its failure kept as the pending error, and the next step runs.
// The procedure clears and tests the pending error at the points where it matters;
// a failure nobody tests has no effect.
class ContinueOnFailure {
public:
    template <typename Step>
    void operator()(Step &&step)
    {
        try {
            step();
        } catch (const std::exception &failure) {
            m_pending = QString::fromUtf8(failure.what());
            m_failed = true;
        }
    }

    // A step's failure learnt without an exception, kept as a thrown one would be.
    void fail(const QString &why)
    {
        m_pending = why;
        m_failed = true;
    }

    bool errorPending() const { return m_failed; }
    QString pendingError() const { return m_pending; }
    void clear()
    {
        m_failed = false;
        m_pending.clear();
    }

private:
    bool m_failed = false;
    QString m_pending;
};
