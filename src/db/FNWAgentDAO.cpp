#include "db/FNWAgentDAO.h"

#include "model/FNWAgentBean.h"
#include "support/DDLog.h"

FNWAgentDAO::FNWAgentDAO()
    : FNWBaseModel(QStringLiteral("agents"), FNWAgentBean::storedFieldNames())
{
}

QString FNWAgentDAO::className() const
{
    return QStringLiteral("FNWAgentDAO");
}

bool FNWAgentDAO::save(FNWAgentBean& agent, QString* error)
{
    return insertRecord(agent, "%d result of agent save is %@", error);
}

bool FNWAgentDAO::update(const FNWAgentBean& agent)
{
    return updateRecord(agent, "%d result of agent update is %@");
}

bool FNWAgentDAO::remove(const FNWAgentBean& agent)
{
    return removeRecordWithID(agent.ID);
}

bool FNWAgentDAO::updateViewPostion(const FNWAgentBean& agent)
{
    const QString sql = QStringLiteral("update ") + FNWStringWithFormat("%@ set viewPosition=%ld where id=%ld",
                                                                        tableName(), agent.viewPosition, agent.ID);
    return executeUpdate(sql, {}, "%d result of FNWAgentBean update is %@");
}

qint64 FNWAgentDAO::getMaxViewPosition()
{
    return maxViewPosition();
}

bool FNWAgentDAO::findAgent(const QString& ipAddress)
{
    const QString sql = QStringLiteral("SELECT ip_address FROM  ") +
                        FNWStringWithFormat("%@ where ip_address=? and isAttachedToQueue=0", tableName());
    // An unset address is stored as '', so it is looked up as ''.
    return hasRowForQuery(sql, {ipAddress.isNull() ? QString::fromLatin1("") : ipAddress},
                          "%d result of Agent IP is %@");
}

std::vector<std::shared_ptr<FNWAgentBean>> FNWAgentDAO::getAllAttachedAgents(bool attached)
{
    return recordsFromRows<FNWAgentBean>(getRecordsWithMatchingWhereClause(
        FNWStringWithFormat(" where isAttachedToQueue = %d order by viewPosition asc", attached)));
}

std::vector<std::shared_ptr<FNWAgentBean>> FNWAgentDAO::getAllRecords()
{
    return recordsFromRows<FNWAgentBean>(FNWBaseModel::getAllRecords());
}

std::shared_ptr<FNWAgentBean> FNWAgentDAO::loadAgentWithID(qint64 agentID)
{
    const std::optional<QVariantMap> row = getRecordWithID(agentID);
    if (!row)
        return nullptr;
    auto agent = std::make_shared<FNWAgentBean>();
    setRecordFromRow(*agent, *row);
    return agent;
}
