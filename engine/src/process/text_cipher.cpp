// SPDX-License-Identifier: MIT
// CTextCipher's seal and open of a text in memory: the process's last steps,
// with the text's ends and its direction given.
#include "tarnel/text_cipher.h"

#include <new>

#include "crc_key.h"
#include "lending_sink.h"
#include "process_steps.h"
#include "stack_wipe.h"
#include "tarnel/secure_wipe.h"

namespace tarnel {

CTextCipher::~CTextCipher() {
    secure_wipe(m_strPassword);
}

void CTextCipher::SetPassword(std::string_view password, TextKey& key) noexcept {
    key = derive_text_key(password);
    secure_wipe(m_strPassword);
    try {
        m_strPassword.assign(password);
    } catch (const std::bad_alloc&) {
        // The copy is never read back; the key is what matters.
    }
}

bool CTextCipher::EncryptText(const TextKey& key, std::string_view plain, std::string& result,
                              Envelope envelope) noexcept {
    const StackWipe wipe_on_return;
    result.clear();
    MemorySource source(plain);
    PieceReader reader(source, 0);
    SourceSurvey survey;
    survey.end = plain.size();
    PlainSurvey bytes;
    bytes.length = plain.size();
    StringResult sink(result);
    const ProcessEnd end =
        seal_step(reader, survey, bytes, PlainForm::Bytes, envelope, key, sink, true, nullptr);
    m_sealCheckFailed = end == ProcessEnd::CheckFailed;
    if (end != ProcessEnd::Done)
        std::string().swap(result);
    return end == ProcessEnd::Done;
}

bool CTextCipher::DecryptText(const TextKey& key, std::string_view body, std::string& result,
                              OpenSummary* summary) noexcept {
    const StackWipe wipe_on_return;
    result.clear();
    MemorySource source(body);
    PieceReader reader(source, 0);
    SourceSurvey survey;
    survey.end = survey.body_end = body.size();
    StringResult sink(result);
    ProcessReport report;
    find_body_end(reader, survey);  // reading a text in memory cannot fail
    const ProcessEnd end =
        open_step(reader, survey, key, PlainForm::Bytes, LineBreak::Lf, sink, report);
    if (summary != nullptr)
        *summary = {end == ProcessEnd::Done ? survey.layout.blocks : 0, report.looks_genuine,
                    survey.damage};
    if (end != ProcessEnd::Done) {
        secure_wipe(result);
        std::string().swap(result);
    }
    return end == ProcessEnd::Done;
}

}  // namespace tarnel
