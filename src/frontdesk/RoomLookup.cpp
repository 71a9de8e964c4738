#include "frontdesk/RoomLookup.h"

#include "card/TCard.h"
#include "datastore/DataSet.h"
#include "datastore/SqlValue.h"
#include "datastore/TDataM.h"

void installRoomLookup()
{
    TCard::setRoomLookup([](const QString& roomNo) -> std::optional<RoomAddress> {
        DataSet q;
        q.setConnection(&DataM().Conn);
        q.setSql(QStringLiteral("select * from room where room_no=") + SqlValue::quoted(roomNo));
        q.open();
        if (q.isEmpty())
            return std::nullopt;
        return RoomAddress{static_cast<quint8>(q.field(QStringLiteral("building_id")).toInt()),
                           static_cast<quint8>(q.field(QStringLiteral("floor")).toInt()),
                           static_cast<quint8>(q.field(QStringLiteral("room_no_id")).toInt()),
                           q.field(QStringLiteral("card_num")).toInt()};
    });
}
