// What the table writer says about a failure or a loss, for standard error. Each "%s" is
// filled in, in order (see Fill).
#pragma once

#include <string_view>

namespace opjoin::write_reasons {

inline constexpr std::string_view kIsLog = "it is the log file itself";
inline constexpr std::string_view kNotRegularFile = "not a regular file";
inline constexpr std::string_view kReadOnly = "the file is read-only";
inline constexpr std::string_view kLinkNotFollowed =
    "the symbolic link %s was not followed: it belongs to another user and stands in a "
    "sticky folder that everyone may write";
inline constexpr std::string_view kNotYours =
    "the file belongs to another user and stands in a sticky folder that everyone may write";
inline constexpr std::string_view kChangedMeanwhile = "the file was replaced meanwhile";
inline constexpr std::string_view kNotSynced =
    "the table was written, but its folder could not be synced to disk: %s";
inline constexpr std::string_view kPartWay = "%s; the table was written only in part";
inline constexpr std::string_view kNotKept = "%s: the new table could not keep the old one's %s";
inline constexpr std::string_view kOwner = "owner";
inline constexpr std::string_view kGroup = "group";
inline constexpr std::string_view kMode = "permissions";
inline constexpr std::string_view kAcl = "access control list";
inline constexpr std::string_view kAttributes = "extended attributes";
inline constexpr std::string_view kAnd = " and ";
inline constexpr std::string_view kComma = ", ";

}  // namespace opjoin::write_reasons
