// SPDX-License-Identifier: MIT
// Where tarnel-cli puts the result the engine makes: standard output, or the path
// given to -o, replaced only once the result is complete. An opened text bound
// for a terminal, by whatever name, is held until it is whole, to be looked at first.
#pragma once

#include <string>

#include "options.h"
#include "output.h"
#include "tarnel/text_process.h"

namespace tarnel::cli {

class ResultSink final : public ProcessSink {
  public:
    explicit ResultSink(const Options& options) : m_options(options) {}
    ~ResultSink() { abandon(); }
    ResultSink(const ResultSink&) = delete;
    ResultSink& operator=(const ResultSink&) = delete;

    /// Prepares the output; reports a failure.
    bool begin(bool sealing) noexcept override;
    void write(const char* data, std::size_t size) noexcept override;
    bool failed() const noexcept override { return m_error != 0 || m_file.failure().failed(); }
    bool discardable() const noexcept override;
    bool discard() noexcept override;

    /// Delivers a complete result: commits a file, writes what was held. Reports a
    /// failure, a refused terminal included, and returns false.
    bool finish();

    /// Reports why writing failed (SinkFailed), once, and drops what was begun.
    void report_failure();

    /// Drops the result: a file is left as it was. True when part of it already
    /// went out directly, where it cannot be taken back.
    bool abandon() noexcept;

  private:
    bool to_stdout() const noexcept { return m_options.output_path.empty(); }
    void flush() noexcept;

    const Options& m_options;
    OutputFile m_file;
    bool m_begun = false;
    bool m_sealing = false;
    bool m_hold = false;  // the result is held until finish()
    // What is held, or gathered for a file, which is written in large pieces: the
    // engine's come in tens of kilobytes.
    std::string m_buffer;
    static constexpr std::size_t kGather = std::size_t(1) << 20;
    int m_error = 0;          // ENOMEM while holding
    bool m_reported = false;  // the failure was said already
};

}  // namespace tarnel::cli
