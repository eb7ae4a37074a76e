// SPDX-License-Identifier: MIT
#include "tarnel/process.h"

#include <new>

#include "tarnel/secure_wipe.h"
#include "tarnel/text_cipher.h"

namespace tarnel {

ProcessOutcome::~ProcessOutcome() {
    // A sealed text is what the user sends out anyway; wiping a large one would
    // cost as much as sealing it.
    if (kind == Kind::NewText && sealed)
        return;
    secure_wipe(text);
}

ProcessOutcome ProcessText(std::string_view password, std::string_view text,
                           ProcessDirection direction) noexcept {
    ProcessOutcome outcome;
    const std::string_view trimmed = trim_text(text);
    const bool sealed = is_sealed_text(trimmed);
    const bool open = direction == ProcessDirection::Open ||
                      (direction == ProcessDirection::ByEnvelope && sealed);
    std::string_view refusal;
    if (password.empty())
        refusal = kEmptyPasswordMessage;
    else if (password.find('\0') != std::string_view::npos)
        refusal = kPasswordNulMessage;
    else if (!open && trimmed.find('\0') != std::string_view::npos)
        refusal = kTextNulMessage;
    if (!refusal.empty()) {
        try {
            outcome.kind = ProcessOutcome::Kind::Message;
            outcome.text.assign(refusal);
        } catch (const std::bad_alloc&) {
            outcome.kind = ProcessOutcome::Kind::TooLarge;
        }
        return outcome;
    }
    if (direction == ProcessDirection::Open && !sealed) {
        outcome.kind = ProcessOutcome::Kind::NotSealed;
        return outcome;
    }

    CTextCipher cipher;
    TextKey key;
    cipher.SetPassword(password, key);
    bool done = false;
    if (open) {
        const std::string_view body = trimmed.substr(
            kSealedOpen.size(), trimmed.size() - kSealedOpen.size() - kSealedClose.size());
        OpenSummary summary;
        done = cipher.DecryptText(key, body, outcome.text, &summary);
        outcome.looks_genuine = summary.looks_genuine;
        outcome.damage = summary.damage;
    } else {
        done = cipher.EncryptText(key, trimmed, outcome.text, Envelope::Included);
        outcome.sealed = done;
    }
    secure_wipe_object(key);
    if (!done) {
        secure_wipe(outcome.text);
        outcome.kind = cipher.SealCheckFailed() ? ProcessOutcome::Kind::CheckFailed
                                                : ProcessOutcome::Kind::TooLarge;
    }
    return outcome;
}

}  // namespace tarnel
