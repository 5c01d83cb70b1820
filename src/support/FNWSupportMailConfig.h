#pragma once

#include <QString>

// Where support mail goes and through which account: the values built in (CMake's
// FENWAVE_SUPPORT_* options), each overridden by its key in the system-wide file
// "/etc/fenwave/support.conf" (or the file FENWAVE_SUPPORT_CONF names):
//
//     endpoint=https://mail.example.net/     the service; "api/mail.send.json" is added
//     api_user=...   api_key=...            the account
//     to=...   cc=...   from=...            support's address, the copy, the sender
//     ca_file=/path/ca.pem                  extra certificate authorities to trust (PEM)
struct FNWSupportMailConfig
{
    static constexpr char kSystemConfigPath[] = "/etc/fenwave/support.conf";

    QString endpoint;
    QString apiUser;
    QString apiKey;
    QString to;
    QString cc;
    QString from;
    QString caFile;

    // The built-in values with the file's over them; a missing file changes nothing.
    static FNWSupportMailConfig load(const QString& path = defaultPath());
    // FENWAVE_SUPPORT_CONF when set, else the system-wide file.
    static QString defaultPath();

    // Endpoint, account and support address are all there.
    bool isConfigured() const;
    // Why mail cannot go to the endpoint, or empty: only https, or http to this computer itself.
    QString endpointProblem() const;
};
