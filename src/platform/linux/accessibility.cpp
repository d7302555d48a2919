#include "platform/linux/accessibility.hpp"

#include <QAccessibleWidget>
#include <QLabel>
#include <QVariant>

#include "platform/linux/widgets.hpp"

namespace ornavel::platform::linux_qt {
namespace {

constexpr char kRole[] = "ornavelAccessibleRole";
constexpr char kDecorative[] = "ornavelDecorative";

class RoleAccessible final : public QAccessibleWidget {
  public:
    RoleAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            if (const auto* label = qobject_cast<const QLabel*>(widget())) return label->text();
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (Link()) names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (LinkLabel* link = Link(); link && name == pressAction()) {
            link->activate();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

  private:
    LinkLabel* Link() const {
        return role() == QAccessible::Link ? dynamic_cast<LinkLabel*>(widget()) : nullptr;
    }
};

class DecorativeAccessible final : public QAccessibleWidget {
  public:
    explicit DecorativeAccessible(QWidget* widget) : QAccessibleWidget(widget) {}
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        s.focusable = false;
        return s;
    }
    QString text(QAccessible::Text) const override { return {}; }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return nullptr;
    if (widget->property(kDecorative).toBool()) return new DecorativeAccessible(widget);
    const QVariant role = widget->property(kRole);
    if (role.isValid()) return new RoleAccessible(widget, QAccessible::Role(role.toInt()));
    return nullptr;
}

void InstallFactoryOnce() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

}  // namespace

void SetAccessibleRole(QWidget* widget, QAccessible::Role role) {
    InstallFactoryOnce();
    widget->setProperty(kRole, static_cast<int>(role));
}

void SetDecorative(QWidget* widget) {
    InstallFactoryOnce();
    widget->setProperty(kDecorative, true);
}

}  // namespace ornavel::platform::linux_qt
