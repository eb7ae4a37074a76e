// SPDX-License-Identifier: MIT
// A part of the text box's document copied out as it is stored, and turned into the
// user's text in UTF-8 in one pass: a text of megabytes is read fast, and the
// turning may happen on another thread.
#pragma once

#include <QString>
#include <QTextDocument>
#include <string>
#include <vector>

namespace tarnel::ui::qt {

struct RawText {
    QString characters;        ///< U+2029 between blocks, U+2028 inside them; no stand-ins
    std::vector<bool> joints;  ///< for each U+2029 in order: whether it is a joint
};

/// Document positions `from` to `to`, as stored.
RawText CopyRaw(const QTextDocument& document, int from, int to);

/// The user's text of `raw` in UTF-8, "\n" between lines and no joints; a lone
/// surrogate becomes U+FFFD, as Qt's own conversion does. Throws std::bad_alloc when
/// memory runs out.
std::string ToUtf8(const RawText& raw);

}  // namespace tarnel::ui::qt
