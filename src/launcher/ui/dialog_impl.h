#pragma once
// Modal and modeless dialogs from dialog template resources, in place of
// ATL's dialog implementation: a window procedure that hands the common
// dialog messages to virtual handlers of the dialog object.

#include <windows.h>

namespace ui {

// The language of the dialog templates that dialogs load from now on;
// MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) (the start value) means the
// system's own choice. A template missing in the chosen language is taken in
// the system's choice.
void setDialogLanguage(LANGID language);
LANGID dialogLanguage();

// The non-template part: the window, its procedure and the handlers. A
// dialog derives from DialogImpl<itself> and overrides the handlers it needs.
class DialogWindow {
public:
    DialogWindow() = default;
    virtual ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // The dialog's window; null before it is created and after it is gone.
    HWND hwnd() const { return hwnd_; }
    // Control id of the dialog; null when there is no such control.
    HWND item(int id) const { return hwnd_ ? ::GetDlgItem(hwnd_, id) : nullptr; }
    // Whether the dialog runs in a modal loop of DoModal.
    bool isModal() const { return modal_; }

    // Ends the dialog with result: a modal loop returns it from DoModal; a
    // modeless dialog keeps it (result()) and is destroyed. False when there
    // is no window.
    BOOL EndDialog(int result);
    // The result EndDialog gave a modeless dialog; -1 before that.
    INT_PTR result() const { return result_; }

    // Shows or hides the dialog window (::ShowWindow); a dialog may override
    // it to do more. Returns whether it was visible before.
    virtual BOOL ShowWindow(int command);
    // Destroys a modeless dialog's window. False when there is none.
    BOOL DestroyWindow();

    // For a modeless dialog in the caller's message loop: handles keyboard
    // navigation for it (::IsDialogMessage). False when msg is not for it.
    bool isDialogMessage(MSG* msg) const;

protected:
    // WM_INITDIALOG. initParam is what DoModal/Create were given. Returns
    // TRUE to let the system set the focus, FALSE when the handler set it.
    virtual BOOL onInitDialog(HWND defaultFocus, LPARAM initParam);
    // WM_COMMAND; returns whether it was handled.
    virtual bool onCommand(WORD id, WORD code, HWND control);
    // WM_NOTIFY; returns whether it was handled, result the notification's
    // answer.
    virtual bool onNotify(int id, NMHDR* header, LRESULT& result);
    // WM_CTLCOLORMSGBOX to WM_CTLCOLORSTATIC (message tells which); returns
    // the brush to paint with, null for the system's default.
    virtual HBRUSH onCtlColor(UINT message, HDC dc, HWND control);
    // WM_SETCURSOR; returns whether the handler set the cursor.
    virtual bool onSetCursor(HWND window, UINT hitTest, UINT mouseMessage);
    // WM_DESTROY, while the window and its controls still exist.
    virtual void onDestroy();
    // Any other message; returns whether it was handled, result the answer.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The templates' module (the program itself unless set) and language.
    HMODULE resourceModule_ = nullptr;

    INT_PTR runModal(int templateId, HWND parent, LPARAM initParam);
    HWND createModeless(int templateId, HWND parent, LPARAM initParam);

private:
    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    const DLGTEMPLATE* findTemplate(int templateId) const;

    HWND hwnd_ = nullptr;
    bool modal_ = false;
    INT_PTR result_ = -1;
    LPARAM initParam_ = 0;
};

// T names its template resource as ATL dialogs do: enum { IDD = <id> }.
template <class T>
class DialogImpl : public DialogWindow {
public:
    // Runs the dialog modally, owned by parent. Returns the result given to
    // EndDialog (the ending button's id), or -1 when the dialog cannot be
    // created (no template, or a control class that does not exist).
    INT_PTR DoModal(HWND parent = ::GetActiveWindow(), LPARAM initParam = 0) {
        return runModal(T::IDD, parent, initParam);
    }
    // Creates the dialog modeless (shown when its template says WS_VISIBLE).
    // Returns its window, null when it cannot be created or already exists.
    HWND Create(HWND parent, LPARAM initParam = 0) {
        return createModeless(T::IDD, parent, initParam);
    }
};

}  // namespace ui
