#include "FirstPaint.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace {

class PaintWatch final : public QObject {
public:
    PaintWatch(QWidget *window, std::function<void()> work)
        : QObject(window)
        , m_work(std::move(work))
    {
        window->installEventFilter(this);
        QTimer::singleShot(FirstPaint::kLatestMs, this, &PaintWatch::run);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The window's paint event comes while its backing store is drawn; the work
        // waits until that has been handed to the screen.
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, &PaintWatch::run);
        }
        return false;
    }

private:
    void run()
    {
        if (!m_work)
            return;
        const std::function<void()> work = std::exchange(m_work, nullptr);
        deleteLater();
        work();
    }

    std::function<void()> m_work;
    bool m_seen = false;
};

} // namespace

void FirstPaint::whenPainted(QWidget *window, std::function<void()> work)
{
    new PaintWatch(window, std::move(work));
}
