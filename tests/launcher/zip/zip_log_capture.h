#pragma once
// The zip layer's records as run.log would get them, kept in memory for the test.
#include "launcher/log.h"

#include <memory>
#include <string>

namespace testing_support {

class ZipLogCapture {
public:
    ZipLogCapture() {
        auto target = std::make_unique<Target>(text_);
        SetLogTarget(target.release());
    }
    ~ZipLogCapture() { ReleaseLogTarget(); }
    ZipLogCapture(const ZipLogCapture&) = delete;
    ZipLogCapture& operator=(const ZipLogCapture&) = delete;

    const std::string& text() const { return *text_; }

private:
    class Target : public wxLog {
    public:
        explicit Target(std::shared_ptr<std::string> text) : text_(std::move(text)) {}

    protected:
        void DoLogText(const wxString& line) override { *text_ += line.utf8_string() + "\n"; }

    private:
        std::shared_ptr<std::string> text_;
    };
    std::shared_ptr<std::string> text_ = std::make_shared<std::string>();
};

} // namespace testing_support
