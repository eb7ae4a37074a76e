// SPDX-License-Identifier: MIT
// tarnel: seals a text with a password into a printable sealed text, and opens it
// again. Include this header for all of it.
//
// Read this first: the sealed-text format has no integrity check, encrypts each
// 32-byte block on its own, keeps eight password bytes and derives its key with
// CRC-32. It keeps a text from casual eyes, nothing more (see docs/format.md).
//
// What to call, in order of need:
//
// 1. The process (process.h, text_rule.h, codepage.h). For a text a person typed:
//
//        const std::string key = tarnel::password_bytes(typed_password);
//        const std::optional<std::string> bytes = tarnel::text_to_bytes(typed_text);
//        tarnel::ProcessOutcome outcome = tarnel::ProcessText(key, *bytes);
//        // outcome.kind: Message (show it), NewText (outcome.text replaces the
//        // text; for an opened text, show tarnel::bytes_to_text(outcome.text)),
//        // or a refusal.
//
//    ProcessText trims the text and chooses the direction from the envelope: a
//    text in "{{" ... "}}" is opened, anything else sealed. The text rule makes
//    the same characters seal to the same sealed text everywhere: Windows-1252
//    where every character has a form there, UTF-8 otherwise, CR LF line breaks.
//
// 2. The streaming form, for large texts (text_process.h). ProcessTextFrom reads
//    from a stream or a random-access source, asks a PasswordProvider once the
//    direction is known, and writes to a ProcessSink, in bounded memory, with
//    every refusal before the first byte of output. PlainForm::Text applies the
//    text rule on the way; PlainForm::Bytes keeps bytes exactly.
//
// 3. The parts, for experts: CTextCipher (text_cipher.h) seals and opens a body
//    under a TextKey; the Rijndael-256 block cipher (rijndael.h) works on one
//    32-byte block over a caller-owned context; sealed_format.h judges texts
//    without decrypting them. secure_wipe.h wipes what held a secret;
//    large_pages.h asks for large pages under a buffer of megabytes.
//
// Nothing here throws or keeps anything of a text between calls. Beyond asking
// which CPUs it may use and for large pages, the platform is touched only by the
// threads a large text is worked on, which are kept, idle, for the next one.
// See examples/seal_a_note.cpp for a whole program.
#pragma once

#include "tarnel/codepage.h"
#include "tarnel/large_pages.h"
#include "tarnel/process.h"
#include "tarnel/rijndael.h"
#include "tarnel/sealed_format.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_cipher.h"
#include "tarnel/text_key.h"
#include "tarnel/text_process.h"
#include "tarnel/text_rule.h"
#include "tarnel/text_sink.h"
