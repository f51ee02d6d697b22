// The parameter dialog's control ids, as its template gives them. Each
// control's id is its object name: the dialog, its hosts' scripts and the
// tests find the controls by these.
#pragma once

namespace parameter_dialog_id {

inline constexpr char ok[] = "1";
inline constexpr char cancel[] = "2";
inline constexpr char coef0[] = "1002";
inline constexpr char components[] = "1011";
inline constexpr char distance[] = "1012";
inline constexpr char degree[] = "1014";
inline constexpr char gamma[] = "1015";
inline constexpr char kernelOn[] = "1018";
inline constexpr char kernel[] = "1020";
inline constexpr char threshold[] = "1021";

}  // namespace parameter_dialog_id
