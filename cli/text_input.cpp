// SPDX-License-Identifier: MIT
#include "text_input.h"

#include <unistd.h>

#include <cerrno>

#include "diagnostics.h"
#include "early_refusal.h"
#include "file_access.h"
#include "secret_reader.h"
#include "tarnel/secure_wipe.h"
#include "text_refusals.h"

namespace tarnel::cli {

int open_text(const std::string& path) {
    if (path.empty())
        return STDIN_FILENO;
    const int fd = open_to_read(path);
    if (fd < 0)
        report_error(errno, "cannot open %s", path.c_str());
    return fd;
}

std::string text_name(const std::string& path) {
    return path.empty() ? "standard input" : path;
}

uint64_t whole_text_limit() noexcept {
    const uint64_t memory = usable_memory();
    return memory > 0 ? memory / 4 : UINT64_MAX - 1;
}

bool read_text_from(int fd, const std::string& path, ProcessDirection direction,
                    std::string& text) {
    const std::string name = text_name(path);
    // A file the system gives no size for (procfs, sysfs) is read once, as it comes.
    const FileStamp before = stamp_of(fd);
    EarlyRefusal refusal(direction);
    const uint64_t limit = whole_text_limit();
    const ReadEnd end = read_all(fd, text, limit, refusal);
    if (end.error != 0) {
        report_error(end.error, "cannot read %s", name.c_str());
        return false;
    }
    if (end.too_large) {
        report("%s is too large to hold in memory (more than %s MiB)", name.c_str(),
               std::to_string(limit >> 20).c_str());
        return false;
    }
    if (refusal.reason() == EarlyRefusal::Reason::NotSealed) {
        report_not_sealed();
        return false;
    }
    if (refusal.reason() == EarlyRefusal::Reason::ZeroByte) {
        report_zero_byte();
        return false;
    }
    if (before.regular && before.size > 0 && stamp_of(fd) != before) {
        secure_wipe(text);
        report("%s changed while it was read; nothing was written", name.c_str());
        return false;
    }
    return true;
}

}  // namespace tarnel::cli
