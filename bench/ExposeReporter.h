#pragma once

#include <QEvent>
#include <QObject>

#include <cstdio>
#include <cstdlib>

// Reports the first expose of any window on standard output, and may end the program
// there: what the benchmarks time from outside on a display that maps nothing.
class ExposeReporter : public QObject {
public:
    explicit ExposeReporter(const char *line, bool quit)
        : m_line(line)
        , m_quit(quit)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_done) {
            m_done = true;
            std::printf("%s\n", m_line);
            std::fflush(stdout);
            if (m_quit)
                std::_Exit(0);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const char *m_line;
    bool m_quit;
    bool m_done = false;
};
