// The identifiers of the mail-sending component, as it registers them and as the program
// that creates it asks for them.
#pragma once

#include <cstdint>

namespace orvix::sendix {

inline constexpr const char* type_library_id = "{3D4880C2-B41D-11D4-B0E7-201C58C10000}";
inline constexpr const char* type_library_version = "1.0";
inline constexpr const char* dispatch_interface_id = "{3D4880C3-B41D-11D4-B0E7-201C58C10000}";
inline constexpr const char* event_interface_id = "{3D4880C4-B41D-11D4-B0E7-201C58C10000}";
inline constexpr const char* control_class_id = "{3D4880C5-B41D-11D4-B0E7-201C58C10000}";
inline constexpr const char* property_page_class_id = "{3D4880C6-B41D-11D4-B0E7-201C58C10000}";
// The version of the dispatch interface's member table.
inline constexpr uint32_t dispatch_interface_version = 1;

inline constexpr int32_t dispid_SendaMail = 1;
inline constexpr int32_t dispid_AboutBox = -552;

} // namespace orvix::sendix
