-- A fresh paper bank. Identifiers and numbers are given by the program, never
-- by the engine, so none of the tables has an automatic key.
--
-- STRICT tables refuse text in an integer column; the CHECK constraints keep
-- integers to 32 bits and booleans to 0/1. The engine reads a constraint named
-- <column>_is_boolean as "this column is a boolean" and gives it the text form
-- True/False. Texts compare ignoring ASCII letter case, except passwords.

PRAGMA application_id = 1413829459; -- "TESS"
PRAGMA user_version = 3;

CREATE TABLE paper (
    PapID  INTEGER NOT NULL CONSTRAINT PapID_is_int32 CHECK (PapID BETWEEN -2147483648 AND 2147483647),
    PapNam TEXT COLLATE NOCASE,
    PapScr INTEGER CONSTRAINT PapScr_is_int32 CHECK (PapScr BETWEEN -2147483648 AND 2147483647),
    PapSav TEXT COLLATE NOCASE,
    PapCtg TEXT COLLATE NOCASE
) STRICT;
CREATE UNIQUE INDEX paper_PapID ON paper (PapID);

CREATE TABLE question (
    QstID  INTEGER NOT NULL CONSTRAINT QstID_is_int32 CHECK (QstID BETWEEN -2147483648 AND 2147483647),
    PapIdx INTEGER NOT NULL CONSTRAINT PapIdx_is_int32 CHECK (PapIdx BETWEEN -2147483648 AND 2147483647),
    QstIdx INTEGER CONSTRAINT QstIdx_is_int32 CHECK (QstIdx BETWEEN -2147483648 AND 2147483647),
    QstTyp TEXT COLLATE NOCASE,
    QstScr INTEGER CONSTRAINT QstScr_is_int32 CHECK (QstScr BETWEEN -2147483648 AND 2147483647),
    QstCon TEXT COLLATE NOCASE,
    IsTrue INTEGER NOT NULL DEFAULT 0 CONSTRAINT IsTrue_is_boolean CHECK (IsTrue IN (0, 1))
) STRICT;
CREATE UNIQUE INDEX question_QstID ON question (QstID);
CREATE INDEX question_PapIdx ON question (PapIdx);

CREATE TABLE choice (
    ChcID  INTEGER NOT NULL CONSTRAINT ChcID_is_int32 CHECK (ChcID BETWEEN -2147483648 AND 2147483647),
    QstIdx INTEGER NOT NULL CONSTRAINT QstIdx_is_int32 CHECK (QstIdx BETWEEN -2147483648 AND 2147483647),
    ChcIdx INTEGER CONSTRAINT ChcIdx_is_int32 CHECK (ChcIdx BETWEEN -2147483648 AND 2147483647),
    IsTrue INTEGER NOT NULL DEFAULT 0 CONSTRAINT IsTrue_is_boolean CHECK (IsTrue IN (0, 1)),
    ChcCon TEXT COLLATE NOCASE
) STRICT;
CREATE UNIQUE INDEX choice_ChcID ON choice (ChcID);
CREATE INDEX choice_QstIdx ON choice (QstIdx);

-- Account names ignore letter case, so no two accounts may differ only in case:
-- the login and the password change would not know which one is meant.
CREATE TABLE users (
    acount   TEXT NOT NULL COLLATE NOCASE,
    password TEXT COLLATE BINARY
) STRICT;
CREATE UNIQUE INDEX users_acount ON users (acount);
