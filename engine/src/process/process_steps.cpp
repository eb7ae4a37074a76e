// SPDX-License-Identifier: MIT
#include "process_steps.h"

#include "tarnel/secure_wipe.h"

namespace tarnel {

bool GivenPassword::provide(bool /*sealing*/, std::string& password) noexcept {
    try {
        password.assign(m_password);
    } catch (...) {
        return false;
    }
    return true;
}

ProcessEnd check_password(std::string_view password) noexcept {
    if (password.empty())
        return ProcessEnd::EmptyPassword;
    if (password.find('\0') != std::string_view::npos)
        return ProcessEnd::PasswordNul;
    return ProcessEnd::Done;
}

bool password_refused_first(PasswordProvider& provider, ProcessReport& report) noexcept {
    ProcessKey judged;
    return provider.known_up_front() && !judged.obtain(provider, report);
}

bool choose_direction(bool sealed, ProcessDirection direction, ProcessReport& report) noexcept {
    report.sealing = direction == ProcessDirection::Seal ||
                     (direction == ProcessDirection::ByEnvelope && !sealed);
    if (!report.sealing && !sealed) {
        report.end = ProcessEnd::NotSealed;
        return false;
    }
    return true;
}

ProcessKey::~ProcessKey() {
    secure_wipe_object(m_key);
}

bool ProcessKey::obtain(PasswordProvider& provider, ProcessReport& report) noexcept {
    std::string password;
    ScopedWipe wipe(password);
    if (!provider.provide(report.sealing, password)) {
        report.end = ProcessEnd::NoPassword;
        return false;
    }
    report.end = check_password(password);
    if (report.end != ProcessEnd::Done)
        return false;
    m_cipher.SetPassword(password, m_key);
    return true;
}

}  // namespace tarnel
