// kvFormatChangeLink: a listener to the locale's format changes for as long as it lives.
#ifndef KV_FORMAT_CHANGE_LINK_H
#define KV_FORMAT_CHANGE_LINK_H

#include <functional>

#include "kvFormats.h"

class TkvFormatChangeLink final : public IkvFormatChangedListener {
public:
    explicit TkvFormatChangeLink(std::function<void()> changed);
    ~TkvFormatChangeLink();
    TkvFormatChangeLink(const TkvFormatChangeLink &) = delete;
    TkvFormatChangeLink &operator=(const TkvFormatChangeLink &) = delete;

    void FormatChanged() override { changed_(); }

private:
    std::function<void()> changed_;
};

#endif
