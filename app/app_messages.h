#pragma once
// The application's message table: the texts that the command line and the desktop both show,
// and the refusals of the desktop's commands, each worded once. AppMessage indexes it; both
// come from the one list below, so a row and its text cannot drift apart.
#include <array>
#include <cstddef>

#include "lang/settings.h"

namespace lv::app {

// X(NAME, TEXT) for every message, in table order.
#define LV_APP_MESSAGES(X)                                                                        \
    X(RenderBusy, "This function is disallowed when the rendering proccess active")              \
    X(NoObjects, "Model must contain at least one object to render")                             \
    X(NoTimeParameters, "Some objects in model must have some time dependent parameters")        \
    X(NoTimeCurve, "Animation Time Curve must be defined")                                       \
    X(DefineTimeVariable, "Lumovar expects you to define one of parameters for objects as "      \
                          "having T1, T2 or T3 type, at first")                                   \
    X(ExitBusy, "The exit function is disallowed when the rendering proccess active")            \
    X(ExportBusy, "The exporting function is disallowed when the rendering proccess active")     \
    X(NoAnimationFrames, "There are no ready animation frames.\nOperation canceled.")            \
    /* two blanks, as the menu item shows it */                                                   \
    X(DefineTimeCurve, "Lumovar expects you to  define Time Curve, at first")                    \
    X(FilmBuilt, "The animated film has been built successfuly.\nUse \"View\" menu to access it.") \
    X(FilmFailed, "Make film operation failed.")                                                 \
    X(EpsRange, lang::kEpsRangeMessage)                                                          \
    X(AlphaRange, lang::kAlphaRangeMessage)

#define LV_APP_MESSAGE_ID(name, text) name,
enum class AppMessage : int { LV_APP_MESSAGES(LV_APP_MESSAGE_ID) Count };
#undef LV_APP_MESSAGE_ID

#define LV_APP_MESSAGE_TEXT(name, text) text,
inline constexpr std::array<const char*, static_cast<std::size_t>(AppMessage::Count)>
    kAppMessages = {LV_APP_MESSAGES(LV_APP_MESSAGE_TEXT)};
#undef LV_APP_MESSAGE_TEXT

// The text of id.
constexpr const char* appMessage(AppMessage id) {
    return kAppMessages[static_cast<std::size_t>(id)];
}

} // namespace lv::app
