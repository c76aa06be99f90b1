// MainWindow on Win32: the system's own EDIT, BUTTON and STATIC controls, placed by the layout
// table at the window's DPI.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>

#include "app/program_window.h"
#include "text/values.h"

namespace tarnwick {

class Win32MainWindow final : public ProgramWindow {
  public:
    // Registers the class and creates the window with every control, hidden; IsCreated tells.
    Win32MainWindow();
    ~Win32MainWindow();
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    bool IsCreated() const { return window_ != nullptr; }
    HWND Handle() const { return window_; }

    void BindGenerateClick(std::function<void()> routine) override {
        generate_ = std::move(routine);
    }
    void BindCopyClick(std::function<void()> routine) override { copy_ = std::move(routine); }
    // Called on the GUI thread with 编辑框1's new text.
    void BindLongLinkChange(std::function<void(Text)> routine) {
        longLinkChanged_ = std::move(routine);
    }
    // Called on the GUI thread as the window is destroyed.
    void BindDestroyed(std::function<void()> routine) { destroyed_ = std::move(routine); }
    // Called on the GUI thread when a posted message of the program arrives.
    void BindPostedMessage(std::function<void(WPARAM)> routine) { posted_ = std::move(routine); }

    Text LongLink() const override;
    Text ShortLink() const override;
    void SetShortLink(const Text& link) override;
    void SetStatus(const Text& caption) override;
    int SelectedProvider() const override;

    // The message loop's look at a message before the dialog manager's: Tab and the arrow keys
    // on the radio buttons go the window's own way. True when the message was handled.
    bool PreTranslate(const MSG& message);

    // The message that carries a worker's result.
    static constexpr UINT kPostedMessage = WM_APP + 1;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void CreateControls();
    void PlaceControls();
    void MoveFocus(bool forward);
    void SelectRadio(std::size_t index);
    HWND Control(std::string_view name) const;

    HWND window_ = nullptr;
    UINT dpi_ = 96;
    HFONT font_ = nullptr;
    HBRUSH face_ = nullptr;
    HBRUSH editBackground_ = nullptr;
    std::array<HWND, 14> controls_{};
    std::function<void()> generate_;
    std::function<void()> copy_;
    std::function<void(Text)> longLinkChanged_;
    std::function<void(WPARAM)> posted_;
    std::function<void()> destroyed_;
};

}  // namespace tarnwick
