#pragma once

// Gives the card layer its room lookup on the program's database: the room's building,
// floor, index and active-card count by room number.
void installRoomLookup();
