-- Tolvane database, SQLite engine (the default installation: one file beside the program).
--
-- Conventions of this file:
--  * date-times are TEXT in the canonical form yyyy-MM-ddTHH:mm:ss.zzz (local wall-clock time). The form
--    has a fixed width, so text order is time order; the CHECKs refuse any other form, so a value bound
--    in another way (a UTC "Z" suffix, a blank instead of the T) fails loudly instead of comparing wrong;
--  * text columns carry the widths the program reads and writes, enforced by CHECKs as a server would;
--  * yes/no columns are 0/1 integers; auto numbers never reuse a deleted key (AUTOINCREMENT).
-- The connection sets journal_mode=WAL and synchronous=FULL each time it opens the file.

CREATE TABLE room (
    room_id          INTEGER PRIMARY KEY AUTOINCREMENT,
    building_id      SMALLINT,
    building_name    VARCHAR(20) CHECK (length(building_name) <= 20),
    floor            SMALLINT,
    room_no_id       SMALLINT,
    room_no          VARCHAR(50) NOT NULL UNIQUE CHECK (length(room_no) <= 50),
    card_num         SMALLINT NOT NULL DEFAULT 0,
    max_num          INTEGER,
    room_type_code   VARCHAR(4) CHECK (length(room_type_code) <= 4),
    room_status_code VARCHAR(20) CHECK (length(room_status_code) <= 20),
    remark           VARCHAR(250) CHECK (length(remark) <= 250),
    losttime         TEXT CHECK (losttime IS NULL OR losttime GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]')
);
-- The canonical order of rooms everywhere (room map, room lists).
CREATE INDEX ix_room_position ON room (building_id, floor, room_no_id);

CREATE TABLE room_type (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    code     VARCHAR(4) CHECK (length(code) <= 4),
    descript VARCHAR(50) CHECK (length(descript) <= 50)
);

CREATE TABLE workarea (
    workarea_id INTEGER PRIMARY KEY AUTOINCREMENT,
    code        VARCHAR(20) CHECK (length(code) <= 20),
    descript    VARCHAR(50) CHECK (length(descript) <= 50)
);

-- Operator names are 50 wide where the program writes a true_name (50) into them.
CREATE TABLE issue_card_log (
    id                INTEGER PRIMARY KEY AUTOINCREMENT,
    card_hard_no      VARCHAR(18) CHECK (length(card_hard_no) <= 18),
    publish_datetime  TEXT CHECK (publish_datetime IS NULL OR publish_datetime GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    publish_operator  VARCHAR(50) CHECK (length(publish_operator) <= 50),
    cancel_datetime   TEXT CHECK (cancel_datetime IS NULL OR cancel_datetime GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    cancel_operator   VARCHAR(50) CHECK (length(cancel_operator) <= 50),
    card_status_code  VARCHAR(20) CHECK (length(card_status_code) <= 20),
    card_type         SMALLINT,
    card_type_name    VARCHAR(50) CHECK (length(card_type_name) <= 50),
    checkin_datetime  TEXT CHECK (checkin_datetime IS NULL OR checkin_datetime GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    checkout_datetime TEXT CHECK (checkout_datetime IS NULL OR checkout_datetime GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    own_name          VARCHAR(20) CHECK (length(own_name) <= 20),
    own_id            VARCHAR(50) CHECK (length(own_id) <= 50),
    room_no           VARCHAR(50) CHECK (length(room_no) <= 50),
    remark            VARCHAR(250) CHECK (length(remark) <= 250),
    yn_loss           INTEGER,
    card_date_hex     VARCHAR(64) CHECK (length(card_date_hex) <= 64)
);
-- A card laid on the encoder: its image, serial and active status.
CREATE INDEX ix_issue_card_log_card ON issue_card_log (card_date_hex, card_hard_no, card_status_code);
-- Active guest cards: of one room, counted per room, and in total.
CREATE INDEX ix_issue_card_log_active ON issue_card_log (card_status_code, card_type, room_no);
-- Card history by issue period; the latest check-in of a card kind.
CREATE INDEX ix_issue_card_log_publish ON issue_card_log (publish_datetime);
CREATE INDEX ix_issue_card_log_kind ON issue_card_log (card_type, checkin_datetime);

CREATE TABLE operator (
    operator_id INTEGER PRIMARY KEY AUTOINCREMENT,
    name        VARCHAR(20) CHECK (length(name) <= 20),
    true_name   VARCHAR(50) CHECK (length(true_name) <= 50),
    pass_word   VARCHAR(20) CHECK (length(pass_word) <= 20),
    passwd      VARCHAR(20) CHECK (length(passwd) <= 20),
    descript    VARCHAR(20) CHECK (length(descript) <= 20),
    power       SMALLINT
);
CREATE INDEX ix_operator_name ON operator (name);

CREATE TABLE operator_group (
    ID     INTEGER PRIMARY KEY AUTOINCREMENT,
    g_name VARCHAR(50) CHECK (length(g_name) <= 50),
    g_code INTEGER
);

CREATE TABLE g_right (
    ID       INTEGER PRIMARY KEY AUTOINCREMENT,
    code     VARCHAR(50) CHECK (length(code) <= 50),
    descript VARCHAR(50) CHECK (length(descript) <= 50)
);

CREATE TABLE group_right (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    group_id  INTEGER,
    code      VARCHAR(50) CHECK (length(code) <= 50),
    the_right INTEGER NOT NULL DEFAULT 0 CHECK (the_right IN (0, 1))
);
CREATE INDEX ix_group_right_group ON group_right (group_id, code);

CREATE TABLE log (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    remark   VARCHAR(250) CHECK (length(remark) <= 250),
    operator VARCHAR(50) CHECK (length(operator) <= 50),
    the_time TEXT CHECK (the_time IS NULL OR the_time GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    type     INTEGER
);
CREATE INDEX ix_log_time ON log (the_time);

CREATE TABLE unlock_log (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    card_no      BIGINT,
    room_id      SMALLINT,
    room_no      VARCHAR(50) CHECK (length(room_no) <= 50),
    card_type_id SMALLINT,
    card_type    VARCHAR(50) CHECK (length(card_type) <= 50),
    unlock_time  TEXT CHECK (unlock_time IS NULL OR unlock_time GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    get_time     TEXT CHECK (get_time IS NULL OR get_time GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    issue_log_id INTEGER
);
CREATE INDEX ix_unlock_log_time ON unlock_log (unlock_time);

CREATE TABLE tmp_unlock_log (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    card_no      BIGINT,
    room_id      SMALLINT,
    room_no      VARCHAR(50) CHECK (length(room_no) <= 50),
    card_type_id SMALLINT,
    card_type    VARCHAR(50) CHECK (length(card_type) <= 50),
    unlock_time  TEXT CHECK (unlock_time IS NULL OR unlock_time GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    get_time     TEXT CHECK (get_time IS NULL OR get_time GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]'),
    issue_log_id INTEGER
);
CREATE INDEX ix_tmp_unlock_log_order ON tmp_unlock_log (card_type_id, unlock_time);
