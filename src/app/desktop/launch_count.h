#pragma once

// The launch bookkeeping: how many times this version has been started, and when to ask for a
// rating.

#include <optional>

#include <QString>

namespace vellinor {

class UserDefaults;

// Counts one launch of the build `runningVersion` (nothing when the build has no version):
// the first launch of a version stores the version and a count of 0; a later launch of the
// same version (or, with no version on either side, of the same unversioned build) adds 1.
// Returns the stored count.
qint64 recordLaunch(UserDefaults& defaults, const std::optional<QString>& runningVersion);

// The rating prompt is asked for when the first, eleventh, twenty-first... run of a version
// ends, i.e. when the stored count is a multiple of 10.
bool shouldRequestReview(qint64 launchCount);

}  // namespace vellinor
