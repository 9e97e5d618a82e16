#include "app/KeyboardAccess.h"

#include <QKeyEvent>
#include <QPushButton>

namespace {

// Pushes its button on Return and Enter. A button outside a dialog only does
// so when it is a default button, which would also change its look.
class ReturnPresses final : public QObject {
public:
    explicit ReturnPresses(QPushButton* button)
        : QObject(button)
        , m_button(button)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_button || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        // Holding the key down presses once, as holding Space does.
        if (!key->isAutoRepeat() && m_button->isEnabled())
            m_button->click();
        return true;
    }

private:
    QPushButton* m_button;
};

} // namespace

void pressOnReturn(QPushButton* button)
{
    button->installEventFilter(new ReturnPresses(button));
}
