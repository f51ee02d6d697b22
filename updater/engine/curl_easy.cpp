// The engine's HTTP handle: agent "AutoUpdateAgent", proxies from the
// environment (libcurl's default), every request asks the server afresh.
#include "engine/curl_easy.h"

CurlEasy::CurlEasy() : easy(curl_easy_init()) {
    if (easy == nullptr) return;
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "AutoUpdateAgent");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer.data());
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 30L);
    // A stalled server ends the transfer instead of hanging the run for ever.
    SetLowSpeedLimit(1, 60);
}

void CurlEasy::SetLowSpeedLimit(long bytesPerSecond, long seconds) {
    if (easy == nullptr) return;
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, bytesPerSecond);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, seconds);
}

CurlEasy::~CurlEasy() {
    if (easy != nullptr) curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
}
