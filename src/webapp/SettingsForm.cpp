#include "webapp/SettingsForm.h"

#include "library/LibraryPath.h"
#include "settings/ControlValues.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace webapp {

namespace {

constexpr std::size_t credentialLength = 31;
constexpr std::size_t addressListLength = 4094;

std::string addressList(const std::string& typed)
{
    std::string text = host::limitBytes(host::toCrLf(typed), addressListLength);
    // A cut between CR and LF leaves no half line break.
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return text;
}

bool caseBlindLess(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

/// `taken` into `field`, or why not into `message`.
template <class Value>
void takeOrExplain(const std::optional<Value>& taken, Value& field, std::string& message, const std::string& why)
{
    if (taken)
        field = *taken;
    else
        message = why;
}

} // namespace

SettingsForm SettingsForm::of(const host::SettingsData& values)
{
    return {.autoStart = values.autoStart,
            .address = values.listenIP,
            .port = std::to_string(values.listenPort),
            .timeout = std::to_string(values.timeout),
            .requirePassword = values.requirePassword,
            .username = values.username,
            .password = values.password,
            .filterIPs = values.filterIPs,
            .allowedIPs = host::fromCrLf(values.allowedIPs),
            .blockedIPs = host::fromCrLf(values.blockedIPs),
            .allowedHosts = host::fromCrLf(values.allowedHosts),
            .adminFromLan = values.adminFromLan,
            .enableML = values.enableML,
            .sharedDirs = values.sharedDirs};
}

FormMessages takeForm(const SettingsForm& form, host::SettingsData& values)
{
    FormMessages messages;
    values.autoStart = form.autoStart;
    takeOrExplain(host::addressFromControl(form.address), values.listenIP, messages.address,
                  "Not an IP address; kept " + values.listenIP);
    takeOrExplain(host::portFromText(form.port), values.listenPort, messages.port,
                  "The port must be a number from 1 to 65535; kept " + std::to_string(values.listenPort));
    takeOrExplain(host::timeoutFromText(form.timeout), values.timeout, messages.timeout,
                  "The timeout must be a number of seconds; kept " + std::to_string(values.timeout));

    values.requirePassword = form.requirePassword;
    values.username = host::limitBytes(form.username, credentialLength);
    values.password = host::limitBytes(form.password, credentialLength);
    values.filterIPs = form.filterIPs;
    values.allowedIPs = addressList(form.allowedIPs);
    values.blockedIPs = addressList(form.blockedIPs);
    values.allowedHosts = host::limitBytes(form.allowedHosts, addressListLength);
    values.adminFromLan = form.adminFromLan;

    values.enableML = form.enableML;
    values.sharedDirs.clear();
    for (const std::string& directory : form.sharedDirs) {
        if (!directory.empty())
            values.sharedDirs.push_back(library::sharedDirectoryForm(directory));
    }
    std::stable_sort(values.sharedDirs.begin(), values.sharedDirs.end(), caseBlindLess);
    return messages;
}

} // namespace webapp
