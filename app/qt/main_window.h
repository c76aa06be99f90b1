// MainWindow on Qt: the program's only window, with every control at its fixed place.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "app/program_window.h"
#include "app/qt/caption_label.h"
#include "text/values.h"

namespace tarnwick {

class QtMainWindow final : public QWidget, public ProgramWindow {
    Q_OBJECT

  public:
    QtMainWindow();

    void BindGenerateClick(std::function<void()> routine) override;
    void BindCopyClick(std::function<void()> routine) override;

    Text LongLink() const override;
    Text ShortLink() const override;
    void SetShortLink(const Text& link) override;
    void SetStatus(const Text& caption) override;
    int SelectedProvider() const override;

  signals:
    void longLinkChanged(const QString& text);
    void closed();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildControls();
    void NameForAssistiveTechnology();
    void MoveFocusInOrder(bool forward);
    void SelectRadio(int index);
    void FitOuterFrame();
    void FitWaylandFrame(QSize client);
    void MoveToScreenCentre();

    QLineEdit* longLink_ = nullptr;
    QLineEdit* shortLink_ = nullptr;
    CaptionLabel* status_ = nullptr;
    QPushButton* generate_ = nullptr;
    QPushButton* copy_ = nullptr;
    std::array<QRadioButton*, 3> radios_{};
    std::vector<QWidget*> focusOrder_;
    std::function<void()> generateRoutine_;
    std::function<void()> copyRoutine_;
};

}  // namespace tarnwick
