#pragma once

// libcurl callbacks the FTP and S3 transports share.

#include <QByteArray>

#include <curl/curl.h>

#include <atomic>
#include <functional>

namespace tandrel {

inline size_t appendTo(char* data, size_t size, size_t count, void* buffer) {
    const size_t bytes = size * count;
    static_cast<QByteArray*>(buffer)->append(data, qsizetype(bytes));
    return bytes;
}

// Asked by libcurl on this thread, several times a second while bytes go.
struct Stop {
    const std::atomic<bool>* abort = nullptr;
    const std::function<bool()>* transfer = nullptr; // the write under way
    const std::function<void(qint64)>* sent = nullptr;
    bool asked = false;
};

inline int stopWhenAsked(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto* stop = static_cast<Stop*>(data);
    if (stop->sent && *stop->sent)
        (*stop->sent)(qint64(uploaded));
    stop->asked = stop->asked || (stop->transfer && *stop->transfer && (*stop->transfer)());
    return stop->asked || (stop->abort && stop->abort->load()) ? 1 : 0;
}

} // namespace tandrel
