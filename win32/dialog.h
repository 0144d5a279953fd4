// The modeless dialog in place of MFC's CDialog: created from a template of the module's
// resources, with data exchange between fields and controls, OK and Cancel that end (destroy) it,
// and owner-draw requests passed on to the control that asked.
#pragma once

#include <windows.h>

#include <string>

#include "message_sink.h"
#include "window.h"

namespace qz::ui {

class Dialog;

// One transfer between a dialog's fields and its controls, in the direction it was made for.
class DataExchange {
 public:
  DataExchange(HWND dialog, bool saving) : m_dialog(dialog), m_saving(saving) {}

  bool Saving() const { return m_saving; }
  // False once a control named by the exchange did not exist.
  bool Succeeded() const { return m_succeeded; }

  // An edit box's text and a text field: control to field when saving, field to control else.
  // The field holds an ANSI text (a path, a name): SetOurText shows one of our texts instead.
  void Text(int id, std::string& field);
  // Binds a control to its object the first time (subclassing it); later calls do nothing.
  void Control(int id, Window& control);

 private:
  HWND Item(int id);

  HWND m_dialog;
  bool m_saving;
  bool m_succeeded = true;
};

class Dialog : public Window {
 public:
  // `parent` null: the window the thread has active at creation owns the dialog.
  Dialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}
  // A window that is still open when the object goes is destroyed with it.
  ~Dialog() override;

  // Creates the window modelessly from the template of the module's resources (the
  // application object's instance); OnInitDialog runs before these return. While the window
  // lives it holds one lock of the module, and Tab, Enter and Esc work in it whatever message
  // loop the thread runs. False when no window of this dialog exists afterwards (also when
  // OnInitDialog ended it): the object is then the caller's, OnFinalMessage is not called.
  bool Create() { return Create(m_templateId, m_parent); }
  bool Create(UINT templateId, HWND parent);

  // Controls to fields when `saveAndValidate`, fields to controls otherwise.
  bool UpdateData(bool saveAndValidate = true);
  // Ends the dialog: the window is destroyed. A dialog object made with new frees itself in
  // OnFinalMessage.
  void EndDialog(int result);
  // The value the dialog ended with; 0 while it has not ended.
  int Result() const { return m_result; }

  // Centres the window on its owner, or on the screen's work area without a visible owner.
  void CenterWindow();

  // A message box owned by this dialog, through the application object's message boxes; text
  // and caption are our texts.
  int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon);

  static const MessageMap& ClassMessageMap();

 protected:
  const MessageMap& GetMessageMap() const override { return ClassMessageMap(); }

  // Transfers the fields into the controls; TRUE lets the system set the focus.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(DataExchange& exchange) { (void)exchange; }
  virtual void OnOK();
  virtual void OnCancel();
  void OnWindowGone(HWND hwnd) final;

 private:
  LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
  void AttachCreatedWindow(HWND hwnd);

  UINT m_templateId;
  HWND m_parent;
  int m_result = 0;
};

}  // namespace qz::ui
