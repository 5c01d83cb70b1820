#include "base/FNWAlerts.h"

#include "support/DDLog.h"

#include <mutex>

namespace {

std::mutex s_mutex;

FNWAlerts::Presenter& presenter()
{
    static FNWAlerts::Presenter value;
    return value;
}

FNWAlerts::Presenter& responder()
{
    static FNWAlerts::Presenter value;
    return value;
}

} // namespace

void FNWAlerts::setPresenter(Presenter value)
{
    std::lock_guard lock(s_mutex);
    presenter() = std::move(value);
}

void FNWAlerts::setTestResponder(Presenter value)
{
    std::lock_guard lock(s_mutex);
    responder() = std::move(value);
}

bool FNWAlerts::hasTestResponder()
{
    std::lock_guard lock(s_mutex);
    return static_cast<bool>(responder());
}

int FNWAlerts::present(const FNWAlertRequest& request)
{
    Presenter answer;
    {
        std::lock_guard lock(s_mutex);
        answer = responder() ? responder() : presenter();
    }
    if (answer)
        return answer(request);
    DDLogWarn("FNWAlerts: no one to show the alert '%@' (%@)", request.message, request.informativeText);
    return request.cancelButton;
}

void FNWAlerts::showCriticalAlertWithMessage(const QString& message, const QString& informativeText)
{
    present({message, informativeText, FNWAlertStyle::Critical, {QStringLiteral("OK")}, 0});
}

bool FNWAlerts::showConfirmationAlertWithMessage(const QString& message, const QString& informativeText,
                                                 FNWAlertStyle style)
{
    return present({message, informativeText, style, {QStringLiteral("No"), QStringLiteral("Yes")}, 0}) == 1;
}

bool FNWAlerts::showOkCancelAlertWithMessage(const QString& message, const QString& informativeText)
{
    return present({message,
                    informativeText,
                    FNWAlertStyle::Warning,
                    {QStringLiteral("OK"), QStringLiteral("Cancel")},
                    1}) == 0;
}
