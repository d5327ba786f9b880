#include "kvFormatChangeLink.h"

#include <utility>

TkvFormatChangeLink::TkvFormatChangeLink(std::function<void()> changed) : changed_(std::move(changed)) {
    FormatControllerInstance()->AddListener(this);
}

TkvFormatChangeLink::~TkvFormatChangeLink() { FormatControllerInstance()->RemoveListener(this); }
