#include "windows/accessibility.h"

#include "windows/MainWin.h"
#include "windows/OptWin.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLatin1StringView>
#include <QWidget>

namespace cipherloom::accessibility {
namespace {

class TopLevelAccessible final : public QAccessibleWidget
{
    Q_DISABLE_COPY_MOVE(TopLevelAccessible)

public:
    TopLevelAccessible(QWidget* window, QAccessible::Role role) : QAccessibleWidget(window, role) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        // Qt never sets it; a screen reader keeps to a modal window until it closes.
        state.modal = widget()->isModal() && widget()->isVisible();
        return state;
    }
};

QAccessibleInterface* MakeInterface(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) {
        return nullptr;
    }
    if (className == QLatin1StringView(MainWin::staticMetaObject.className())) {
        return new TopLevelAccessible(widget, QAccessible::Window);
    }
    if (className == QLatin1StringView(OptWin::staticMetaObject.className())) {
        return new TopLevelAccessible(widget, QAccessible::Dialog);
    }
    return nullptr;
}

} // namespace

void InstallWindowInterfaces()
{
    // Qt asks the factory installed last first, so this one comes before the stock widgets'.
    static const bool installed = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace cipherloom::accessibility
