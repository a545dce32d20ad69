// The elements a skin places: the sixteen buttons of the main window and its four text
// fields, named by enums so that a misspelt element is a compile error, each mapped once
// to its key in "display.Ini" and to its hint.
#pragma once

#include <array>
#include <cstddef>

// In the order the main skin is applied.
enum class SkinButton {
  Close,
  Minimize,
  Prev,
  Next,
  Pause,
  Stop,
  Play,
  Reverse,
  Forward,
  Eq,
  PlayList,
  Shuffle,
  Setup,
  Help,
  WavVolUp,
  WavVolDown,
};
inline constexpr size_t kSkinButtonCount = 16;

enum class SkinTextField { File, Info, Progress, WavVolume };
inline constexpr size_t kSkinTextFieldCount = 4;

struct SkinButtonInfo {
  SkinButton button;
  const char* key;
  const char* hint;
};

inline constexpr std::array<SkinButtonInfo, kSkinButtonCount> kSkinButtons = {{
    {SkinButton::Close, "btn_close", "Close"},
    {SkinButton::Minimize, "btn_minimize", "Minimize"},
    {SkinButton::Prev, "btn_prev", "Previous"},
    {SkinButton::Next, "btn_next", "Next"},
    {SkinButton::Pause, "btn_pause", "Pause"},
    {SkinButton::Stop, "btn_stop", "Stop"},
    {SkinButton::Play, "btn_play", "Play"},
    {SkinButton::Reverse, "btn_reverse", "Reverse"},
    {SkinButton::Forward, "btn_forward", "Forward"},
    {SkinButton::Eq, "btn_eq", "Equalizer"},
    {SkinButton::PlayList, "btn_playlist", "Play List"},
    {SkinButton::Shuffle, "btn_shuffle", "Shuffle"},
    {SkinButton::Setup, "btn_setup", "Setup"},
    {SkinButton::Help, "btn_help", "Help"},
    {SkinButton::WavVolUp, "btn_wav_vol_up", "Increase volume"},
    {SkinButton::WavVolDown, "btn_wav_vol_down", "Decrease volume"},
}};

inline constexpr std::array<const char*, kSkinTextFieldCount> kSkinTextFieldKeys = {
    "disp_file", "disp_info", "disp_progress", "disp_wav_vol"};

constexpr const SkinButtonInfo& InfoOf(SkinButton button) { return kSkinButtons[static_cast<size_t>(button)]; }
constexpr const char* KeyOf(SkinTextField field) { return kSkinTextFieldKeys[static_cast<size_t>(field)]; }

// The hint of the equalizer window's close button (key eq_close).
inline constexpr const char* kEqualizerCloseHint = "Close";
