#include "model/FNWAgentBean.h"

#include "db/FNWAgentDAO.h"
#include "model/FNWBeanFields.h"

namespace {

using Fields = fnw::model::FNWBeanFields<FNWAgentBean>;

const Fields& agentFields()
{
    static const Fields fields{
        {"ip_address", &FNWAgentBean::ip_address},
        {"port_number", &FNWAgentBean::port_number},
        {"agent_name", &FNWAgentBean::agent_name},
        {"addedManually", &FNWAgentBean::addedManually},
        {"isAttachedToQueue", &FNWAgentBean::isAttachedToQueue},
        {"viewPosition", &FNWAgentBean::viewPosition},
        {"lastSeen", &FNWAgentBean::lastSeen},
    };
    return fields;
}

} // namespace

QStringList FNWAgentBean::storedFieldNames()
{
    return {QStringLiteral("id"),           QStringLiteral("ip_address"),    QStringLiteral("port_number"),
            QStringLiteral("agent_name"),   QStringLiteral("addedManually"), QStringLiteral("isAttachedToQueue"),
            QStringLiteral("viewPosition"), QStringLiteral("lastSeen")};
}

std::shared_ptr<FNWAgentBean> FNWAgentBean::copy() const
{
    auto agent = std::make_shared<FNWAgentBean>();
    agent->ID = -1;
    agent->ip_address = ip_address;
    agent->port_number = port_number;
    agent->agent_name = agent_name;
    agent->addedManually = addedManually;
    agent->isAttachedToQueue = isAttachedToQueue;
    agent->lastSeen = lastSeen;
    return agent;
}

bool FNWAgentBean::isCopyOf(const FNWAgentBean& library) const
{
    if (originalID > 0 && library.ID > 0)
        return originalID == library.ID;
    return ip_address == library.ip_address;
}

bool FNWAgentBean::save(QString* error)
{
    return FNWAgentDAO().save(*this, error);
}

bool FNWAgentBean::update()
{
    return FNWAgentDAO().update(*this);
}

bool FNWAgentBean::remove()
{
    return FNWAgentDAO().remove(*this);
}

bool FNWAgentBean::updateViewPostion()
{
    return FNWAgentDAO().updateViewPostion(*this);
}

qint64 FNWAgentBean::getMaxViewPosition()
{
    return FNWAgentDAO().getMaxViewPosition();
}

bool FNWAgentBean::findAgent(const QString& ipAddress)
{
    return FNWAgentDAO().findAgent(ipAddress);
}

QVariant FNWAgentBean::valueForKey(const QString& key) const
{
    return agentFields().valueForKey(*this, key);
}

bool FNWAgentBean::setValueForKey(const QVariant& value, const QString& key)
{
    return agentFields().setValueForKey(*this, value, key);
}

QString FNWAgentBean::description() const
{
    return FNWStringWithFormat("%@,%@,%ld", fnw::model::textArg(agent_name), fnw::model::textArg(ip_address),
                               port_number);
}
