// The parameter lists of the main window follow the chosen format and codec, and the
// option strings follow the lists.
#include <gtest/gtest.h>
#include <wx/choice.h>

#include "../helpers/format_defaults.h"
#include "../helpers/gui_util.h"
#include "../helpers/dialog_peer.h"
#include "../helpers/dialog_fixture.h"
#include "app/CMorvenDlg.h"
#include "platform/app_path.h"
#include "platform/narrow.h"

using guitest::Choose;
using guitest::Entries;

namespace {

class ProfilesTest : public guitest::DialogFixture {
protected:
    convert::OptionSlots Slots() const { return Peer(dlg_).CurrentOptions(); }
    wxString Sel(int id) const { return Peer(dlg_).List(id)->GetStringSelection(); }
};

const convert::OptionSlots k3gpSlots = testdata::FormatDefaults(platform::ProgramDirectory())[0].slots;

}  // namespace

TEST_F(ProfilesTest, StartsWithThe3gpPresetAndMatchingOptions) {
    const std::vector<std::pair<int, const char*>> expected = {
        {IDC_VIDEO_CODEC, "H.263"},       {IDC_VIDEO_BITRATE, "256 kbps"}, {IDC_FRAME_SIZE, "176x144"},
        {IDC_FRAME_RATE, "14.985 fps"},   {IDC_ASPECT_RATIO, "Auto"},      {IDC_AUDIO_CODEC, "AMR_NB"},
        {IDC_AUDIO_BITRATE, "12.2 kbps"}, {IDC_SAMPLE_RATE, "8000 Hz"},    {IDC_CHANNELS, "1 Channel Mono"}};
    for (const auto& [id, label] : expected) EXPECT_EQ(Sel(id), label) << id;
    EXPECT_EQ(Slots(), k3gpSlots);
    // Insertion order, not sorted.
    const auto rates = Entries(Peer(dlg_).List(IDC_FRAME_RATE));
    ASSERT_EQ(rates.size(), 12u);
    EXPECT_EQ(rates.front(), "5.0 fps");
    EXPECT_EQ(rates.back(), "30.0 fps");
}

TEST_F(ProfilesTest, FormatChangeAppliesThePresetAndDerivesAllEight) {
    // Each format in turn, ending back on "3gp".
    auto defaults = testdata::FormatDefaults(platform::ProgramDirectory());
    std::rotate(defaults.begin(), defaults.begin() + 1, defaults.end());
    for (const auto& [format, extension, slots] : defaults) {
        Choose(Peer(dlg_).List(IDC_FORMAT), format);
        EXPECT_EQ(Slots(), slots) << format;
    }
}

TEST_F(ProfilesTest, BackToAFormatRestoresEveryDefault) {
    Choose(Peer(dlg_).List(IDC_VIDEO_CODEC), "mpeg4");
    Choose(Peer(dlg_).List(IDC_VIDEO_BITRATE), "80 kbps");
    Choose(Peer(dlg_).List(IDC_ASPECT_RATIO), "16:9");
    Choose(Peer(dlg_).List(IDC_AUDIO_CODEC), "AAC");
    Choose(Peer(dlg_).List(IDC_FORMAT), "avi");
    Choose(Peer(dlg_).List(IDC_FORMAT), "3gp");
    EXPECT_EQ(Slots(), k3gpSlots);
    EXPECT_EQ(Sel(IDC_ASPECT_RATIO), "Auto");
    EXPECT_EQ(Entries(Peer(dlg_).List(IDC_FRAME_SIZE)), (std::vector<wxString>{"128x96", "176x144", "352x288"}));
}

TEST_F(ProfilesTest, AudioCodecRuleRefillsTheAudioLists) {
    // 3gp: AAC brings the AAC lists, AMR_NB brings the AMR lists back.
    Choose(Peer(dlg_).List(IDC_AUDIO_CODEC), "AAC");
    EXPECT_EQ(Entries(Peer(dlg_).List(IDC_AUDIO_BITRATE)).size(), 9u);
    EXPECT_EQ(Sel(IDC_AUDIO_BITRATE), "112 kbps");
    EXPECT_EQ(Entries(Peer(dlg_).List(IDC_SAMPLE_RATE)).size(), 6u);
    EXPECT_EQ(Sel(IDC_SAMPLE_RATE), "44100 Hz");
    EXPECT_EQ(Sel(IDC_CHANNELS), "2 Channels Stereo");
    EXPECT_EQ(Peer(dlg_).m_szAudioCodec, "-strict experimental -acodec aac");
    // The other audio strings follow at their next derivation, not at once.
    EXPECT_EQ(Peer(dlg_).m_szAudioBitrate, "-ab 12.2k");
    Choose(Peer(dlg_).List(IDC_AUDIO_CODEC), "AMR_NB");
    EXPECT_EQ(Entries(Peer(dlg_).List(IDC_AUDIO_BITRATE)).size(), 8u);
    EXPECT_EQ(Sel(IDC_AUDIO_BITRATE), "12.2 kbps");
    EXPECT_EQ(Entries(Peer(dlg_).List(IDC_SAMPLE_RATE)), (std::vector<wxString>{"8000 Hz"}));
    EXPECT_EQ(Entries(Peer(dlg_).List(IDC_CHANNELS)), (std::vector<wxString>{"1 Channel Mono"}));

    // 3gpp2 offers AMR_NB with the same lists.
    Choose(Peer(dlg_).List(IDC_FORMAT), "3gpp2");
    Choose(Peer(dlg_).List(IDC_AUDIO_CODEC), "AMR_NB");
    EXPECT_EQ(Sel(IDC_AUDIO_BITRATE), "12.2 kbps");
    EXPECT_EQ(Entries(Peer(dlg_).List(IDC_SAMPLE_RATE)), (std::vector<wxString>{"8000 Hz"}));

    // avi: MP3 and pcm_s16le get thirteen bitrates and leave sample rate and channels.
    Choose(Peer(dlg_).List(IDC_FORMAT), "avi");
    Choose(Peer(dlg_).List(IDC_SAMPLE_RATE), "48000 Hz");
    Choose(Peer(dlg_).List(IDC_CHANNELS), "1 Channel Mono");
    for (const char* codec : {"MP3", "pcm_s16le"}) {
        Choose(Peer(dlg_).List(IDC_AUDIO_CODEC), codec);
        EXPECT_EQ(Entries(Peer(dlg_).List(IDC_AUDIO_BITRATE)).size(), 13u);
        EXPECT_EQ(Sel(IDC_AUDIO_BITRATE), "128 kbps");
        EXPECT_EQ(Sel(IDC_SAMPLE_RATE), "48000 Hz");
        EXPECT_EQ(Sel(IDC_CHANNELS), "1 Channel Mono");
    }
    Choose(Peer(dlg_).List(IDC_AUDIO_CODEC), "MP2");
    EXPECT_EQ(Entries(Peer(dlg_).List(IDC_AUDIO_BITRATE)).size(), 9u);
    EXPECT_EQ(Sel(IDC_AUDIO_BITRATE), "128 kbps");

    // flv: the only codec leaves the lists alone.
    Choose(Peer(dlg_).List(IDC_FORMAT), "flv");
    Choose(Peer(dlg_).List(IDC_AUDIO_BITRATE), "320 kbps");
    Choose(Peer(dlg_).List(IDC_AUDIO_CODEC), "MP3");
    EXPECT_EQ(Sel(IDC_AUDIO_BITRATE), "320 kbps");
}

TEST_F(ProfilesTest, SingleListChangesDeriveOnlyTheirOwnString) {
    Choose(Peer(dlg_).List(IDC_FORMAT), "mp4");
    Choose(Peer(dlg_).List(IDC_VIDEO_BITRATE), "80 kbps");
    EXPECT_EQ(Peer(dlg_).m_szVideoBitrate, "-b 80k");
    Choose(Peer(dlg_).List(IDC_AUDIO_BITRATE), "80 kbps");
    EXPECT_EQ(Peer(dlg_).m_szAudioBitrate, "-ab 80k");
    Choose(Peer(dlg_).List(IDC_FRAME_SIZE), "720x480 DVD");
    EXPECT_EQ(Peer(dlg_).m_szFrameSize, "-s 720x480 ");
    Choose(Peer(dlg_).List(IDC_FRAME_RATE), "29.976 fps");
    EXPECT_EQ(Peer(dlg_).m_szFrameRate, "-r 29.976");

    const auto before = Slots();
    Choose(Peer(dlg_).List(IDC_ASPECT_RATIO), "4:3");
    Choose(Peer(dlg_).List(IDC_ASPECT_RATIO), "16:9");
    EXPECT_EQ(Slots(), before);  // the aspect ratio feeds nothing
}

TEST_F(ProfilesTest, FillsByProgramRaiseNoSelectionEvents) {
    int events = 0;
    for (int id = IDC_VIDEO_CODEC; id <= IDC_CHANNELS; ++id) {
        Peer(dlg_).List(id)->Bind(wxEVT_CHOICE, [&](wxCommandEvent& e) {
            ++events;
            e.Skip();
        });
    }
    Choose(Peer(dlg_).List(IDC_FORMAT), "avi");
    guitest::Yield();
    EXPECT_EQ(events, 0);
    Choose(Peer(dlg_).List(IDC_AUDIO_CODEC), "MP3");  // the user's own choice: one event
    guitest::Yield();
    EXPECT_EQ(events, 1);
}
