#pragma once
// The window tests' one answerer for message boxes (wxTEST_DIALOG's expectations).
#include <wx/msgdlg.h>
#include <wx/testing.h>

// Answers a message box, noting its text and caption.
class AnswerBox : public wxExpectModalBase<wxMessageDialog, AnswerBox> {
public:
    explicit AnswerBox(int answer, wxString* text = nullptr, wxString* caption = nullptr)
        : answer_(answer), text_(text), caption_(caption) {}

protected:
    int OnInvoked(wxMessageDialog* dlg) const override {
        if (text_) *text_ = dlg->GetMessage();
        if (caption_) *caption_ = dlg->GetTitle();
        return answer_;
    }

private:
    int answer_;
    wxString* text_;
    wxString* caption_;
};
