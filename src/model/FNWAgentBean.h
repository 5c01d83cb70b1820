#pragma once

#include "model/FNWBaseBean.h"

#include <QDateTime>

#include <memory>

// One target server running iperf, entered by hand or found by discovery.
class FNWAgentBean : public FNWBaseBean
{
public:
    FNWAgentBean() = default;

    QString ip_address;
    qint64 port_number = 5201;
    QString agent_name;
    bool addedManually = false;
    bool isAttachedToQueue = false;
    qint64 viewPosition = -1;
    // Invalid until discovery has seen the agent.
    QDateTime lastSeen;
    // Not stored: the library agent a queued test's copy was made from (0: none, as for the copies
    // a stored profile loads).
    qint64 originalID = 0;

    // The table's columns in store order, "id" first.
    static QStringList storedFieldNames();

    // A new agent with ID -1 carrying address, port, name, flags and lastSeen; viewPosition
    // stays -1.
    std::shared_ptr<FNWAgentBean> copy() const;
    // Whether this queued copy was made from the library agent: by the library agent's ID where
    // the copy knows it, else by address.
    bool isCopyOf(const FNWAgentBean& library) const;

    // Inserts a new row (the agent takes its id); the store's failure is handed out through error.
    bool save(QString* error = nullptr);
    bool update();
    bool remove();
    bool updateViewPostion();
    // The largest viewPosition over all agents, 0 when there are none.
    static qint64 getMaxViewPosition();
    // Whether a library agent has exactly this address.
    static bool findAgent(const QString& ipAddress);

    QVariant valueForKey(const QString& key) const override;
    bool setValueForKey(const QVariant& value, const QString& key) override;
    // "name,address,port"; an unset text prints "(null)".
    QString description() const override;
};
