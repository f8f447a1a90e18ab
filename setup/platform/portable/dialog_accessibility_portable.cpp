// The dialog as a screen reader meets it: the lists' accessible interface,
// named after their labels, and names for what has no caption.
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QItemSelectionModel>
#include <QLineEdit>

#include "dialog_host_parts.h"
#include "res/resource.h"

namespace {

using qt_host::HostCombo;

// Names for what has no caption of its own for a screen reader to read.
constexpr struct {
    int32_t id;
    const char* name;
} UNCAPTIONED_NAMES[] = {
    {IDC_DRIVER_VERSION, "Driver version"},
    {IDC_VRAM, "Video memory"},
    {IDC_LOGO, SETUP_DIALOG_TITLE},
};

// A list as a screen reader meets it. Qt names a list on Linux after its
// entry, which leaves an empty list nameless and its label unread. Here the
// name is its label's (the label whose buddy it is), or its group box's for a
// list without one; the entry is its value and the selected row of its first
// child, the open list, where a screen reader looks for it. The edit field is
// the second child; the actions open and close the list.
class ListAccessible final : public QAccessibleWidget {
public:
    explicit ListAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    static QAccessibleInterface* make(const QString&, QObject* object) {
        auto* list = dynamic_cast<HostCombo*>(object);
        return list ? new ListAccessible(list) : nullptr;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return list()->currentText();
        if (t == QAccessible::Name)
            for (const auto& [label, relation] : relations(QAccessible::Label))
                if (QString name = label->text(QAccessible::Name); !name.isEmpty()) return name;
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = list()->view()->isVisible();
        s.editable = list()->isEditable();
        return s;
    }
    int childCount() const override { return list()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        QWidget* w = index == 0 ? static_cast<QWidget*>(list()->view()) : index == 1 ? list()->lineEdit() : nullptr;
        return w ? QAccessible::queryAccessibleInterface(w) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child(i) == c) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QLineEdit* edit = list()->lineEdit();
        return edit && QRect(edit->mapToGlobal(QPoint()), edit->size()).contains(x, y) ? child(1) : nullptr;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) return;
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
    }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

}  // namespace

namespace qt_host {

// A title bar the window draws itself (Wayland) is a group named after the
// window's title, holding the close box.
QAccessibleInterface* title_bar_accessible(const QString&, QObject* object) {
    auto* bar = dynamic_cast<TitleBar*>(object);
    return bar ? new QAccessibleWidget(bar, QAccessible::Grouping) : nullptr;
}

void install_accessibility() {
    [[maybe_unused]] static const bool installed =
        (QAccessible::installFactory(ListAccessible::make), QAccessible::installFactory(title_bar_accessible), true);
}

void name_uncaptioned(const HostDialog& dialog) {
    for (const auto& [id, name] : UNCAPTIONED_NAMES) dialog.control(id)->setAccessibleName(QString::fromUtf8(name));
}

void HostCombo::mark_entry_in_list() const {
    view()->selectionModel()->setCurrentIndex(model()->index(currentIndex(), modelColumn(), rootModelIndex()),
                                              QItemSelectionModel::ClearAndSelect);
}

}  // namespace qt_host
