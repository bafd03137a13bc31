// The main window's side of the output profiles: filling the parameter lists from the
// preset tables, the audio-codec rule and the derivation of the eight option strings.
#include <wx/choice.h>

#include "app/CMorvenDlg.h"
#include "platform/narrow.h"

using profiles::ParamList;

std::string* CMorvenDlg::OptionString(ParamList list) {
    switch (list) {
        case profiles::kVideoCodec: return &m_szVideoCodec;
        case profiles::kVideoBitrate: return &m_szVideoBitrate;
        case profiles::kFrameSize: return &m_szFrameSize;
        case profiles::kFrameRate: return &m_szFrameRate;
        case profiles::kAudioCodec: return &m_szAudioCodec;
        case profiles::kAudioBitrate: return &m_szAudioBitrate;
        case profiles::kSampleRate: return &m_szSampleRate;
        case profiles::kChannels: return &m_szChannels;
        default: return nullptr;  // the aspect ratio feeds nothing
    }
}

convert::OptionSlots CMorvenDlg::CurrentOptions() const {
    convert::OptionSlots slots;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        slots[i] = *OptionString(profiles::kSlotOrder[i]);
    }
    return slots;
}

namespace {

// Entries go in at explicit positions after what the list holds and keep that order;
// selecting by program raises no selection-change event, so no derivation runs mid-fill.
void InsertAndSelect(wxChoice* choice, const profiles::ListFill& fill) {
    unsigned position = choice->GetCount();
    for (const profiles::Entry& entry : fill.entries) choice->Insert(wxString::FromUTF8(entry.label), position++);
    choice->SetSelection(fill.selection);
}

}  // namespace

void CMorvenDlg::Refill(ParamList list, const profiles::ListFill& fill) {
    ParamChoice(list)->Clear();
    InsertAndSelect(ParamChoice(list), fill);
}

void CMorvenDlg::FillPresetLists(const wxString& format) {
    const profiles::FormatPreset* preset = profiles::FindPreset(platform::ToNarrow(format));
    if (preset == nullptr) return;
    for (int l = 0; l < profiles::kParamListCount; ++l) {
        InsertAndSelect(ParamChoice(static_cast<ParamList>(l)), preset->lists[static_cast<std::size_t>(l)]);
    }
}

void CMorvenDlg::ApplyAudioCodecRule() {
    const profiles::AudioRuleFills fills =
        profiles::AudioCodecRule(platform::ToNarrow(List(IDC_FORMAT)->GetStringSelection()),
                                 platform::ToNarrow(ParamChoice(profiles::kAudioCodec)->GetStringSelection()));
    if (fills.audioBitrate) Refill(profiles::kAudioBitrate, *fills.audioBitrate);
    if (fills.sampleRate) Refill(profiles::kSampleRate, *fills.sampleRate);
    if (fills.channels) Refill(profiles::kChannels, *fills.channels);
}

void CMorvenDlg::DeriveOption(ParamList list) {
    std::string* target = OptionString(list);
    if (target == nullptr) return;
    // The H.264 row names h264.dat in the program directory, where the job finds vv.exe.
    const std::optional<std::string> option =
        profiles::LookupOption(list, platform::ToNarrow(ParamChoice(list)->GetStringSelection()), m_szAppDir);
    if (option) *target = *option;
}

void CMorvenDlg::DeriveAllOptions() {
    for (ParamList list : profiles::kOptionLists) {
        if (list == profiles::kAudioCodec) ApplyAudioCodecRule();
        DeriveOption(list);
    }
}

void CMorvenDlg::OnSelchangeFormat(wxCommandEvent&) {
    const wxString format = List(IDC_FORMAT)->GetStringSelection();
    if (profiles::FindPreset(platform::ToNarrow(format)) != nullptr) {
        for (int l = 0; l < profiles::kParamListCount; ++l) ParamChoice(static_cast<ParamList>(l))->Clear();
        FillPresetLists(format);
    }
    DeriveAllOptions();
}

void CMorvenDlg::OnSelchangeVideoCodec(wxCommandEvent&) { DeriveOption(profiles::kVideoCodec); }
void CMorvenDlg::OnSelchangeVideoBitrate(wxCommandEvent&) { DeriveOption(profiles::kVideoBitrate); }
void CMorvenDlg::OnSelchangeFrameSize(wxCommandEvent&) { DeriveOption(profiles::kFrameSize); }
void CMorvenDlg::OnSelchangeFrameRate(wxCommandEvent&) { DeriveOption(profiles::kFrameRate); }
void CMorvenDlg::OnSelchangeAspectRatio(wxCommandEvent&) {}  // no option stands for it
void CMorvenDlg::OnSelchangeAudioCodec(wxCommandEvent&) {
    ApplyAudioCodecRule();
    DeriveOption(profiles::kAudioCodec);
}
void CMorvenDlg::OnSelchangeAudioBitrate(wxCommandEvent&) { DeriveOption(profiles::kAudioBitrate); }
void CMorvenDlg::OnSelchangeSampleRate(wxCommandEvent&) { DeriveOption(profiles::kSampleRate); }
void CMorvenDlg::OnSelchangeChannels(wxCommandEvent&) { DeriveOption(profiles::kChannels); }
