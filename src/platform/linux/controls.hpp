#pragma once

#include <QAction>
#include <QLabel>
#include <QListWidgetItem>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "platform/button.hpp"
#include "platform/label.hpp"
#include "platform/linux/runtime.hpp"
#include "platform/linux/widgets.hpp"
#include "platform/list_box.hpp"
#include "platform/menu_entry.hpp"
#include "platform/picture_box.hpp"

// The controls of a window as the portable code sees them, each over the Qt widget that shows it.
namespace ornavel::platform::linux_qt {

class QtLabel final : public Label {
  public:
    QtLabel(QLabel* label, bool autoSize) : label_(label), autoSize_(autoSize) {}
    void SetCaption(const std::string& caption) override {
        caption_ = caption;
        label_->setText(Q(caption));
        if (autoSize_) label_->adjustSize();
        // A label named otherwise offers its caption as its description.
        if (!label_->accessibleName().isEmpty()) label_->setAccessibleDescription(Q(caption));
        for (const auto& tell : described_) tell(Q(caption));
    }
    std::string Caption() const override { return caption_; }
    // Called with every new caption: the caption describes another control.
    void Describes(std::function<void(const QString&)> tell) {
        described_.push_back(std::move(tell));
    }

  private:
    QLabel* label_;
    bool autoSize_;
    std::string caption_;
    std::vector<std::function<void(const QString&)>> described_;
};

class QtButton final : public Button {
  public:
    explicit QtButton(QPushButton* button) : button_(button) {}
    void SetEnabled(bool enabled) override { button_->setEnabled(enabled); }
    bool Enabled() const override { return button_->isEnabled(); }
    void SetFocus() override { button_->setFocus(Qt::OtherFocusReason); }

  private:
    QPushButton* button_;
};

class QtMenuEntry final : public MenuEntry {
  public:
    explicit QtMenuEntry(QAction* action) : action_(action) {}
    void SetEnabled(bool enabled) override { action_->setEnabled(enabled); }
    bool Enabled() const override { return action_->isEnabled(); }

  private:
    QAction* action_;
};

class QtListBox final : public ListBox {
  public:
    explicit QtListBox(ClickList* list) : list_(list) {}
    void Clear() override { list_->clearQuietly(); }
    // The item is complete before the list takes it, so the list hears of it once.
    void Append(const std::string& text) override {
        auto* item = new QListWidgetItem(Q(text));
        item->setData(Qt::UserRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
        list_->addItem(item);
    }
    std::string SelectedText() const override {
        const auto selected = list_->selectedItems();
        if (selected.isEmpty()) return "";
        return selected.front()->data(Qt::UserRole).toByteArray().toStdString();
    }
    int Count() const override { return list_->count(); }
    void DescribeSelected(const QString& description) { list_->describeSelected(description); }

  private:
    ClickList* list_;
};

class QtPictureBox final : public PictureBox {
  public:
    explicit QtPictureBox(PictureWidget* widget) : widget_(widget) {}
    void SetPicture(PicturePtr picture) override { widget_->setPicture(std::move(picture)); }
    PicturePtr Picture() const override { return widget_->picture(); }
    float OuterWidth() const override { return static_cast<float>(widget_->width()); }
    float OuterHeight() const override { return static_cast<float>(widget_->height()); }

  private:
    PictureWidget* widget_;
};

}  // namespace ornavel::platform::linux_qt
