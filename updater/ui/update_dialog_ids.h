// The control ids of the update dialog and the About box, as their templates
// give them. Each control's id is its object name: the dialogs, the tests and
// the screenshot aid find the controls by these.
#pragma once

namespace update_dialog_id {

inline constexpr char checkLatest[] = "1000";
inline constexpr char progress[] = "1002";
inline constexpr char status[] = "1003";
inline constexpr char size[] = "1004";
inline constexpr char closeWhenDone[] = "1005";

}  // namespace update_dialog_id

namespace about_dialog_id {

inline constexpr char ok[] = "1";

}  // namespace about_dialog_id
