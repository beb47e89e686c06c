-- What the third version of the schema adds: the question and choice texts as
-- a reader sees them, and a trigram index over them for the search. Every
-- statement may run again on a bank that has part of it.
--
-- Only this program fills text_plain and text_index: taking the tags out needs
-- code that other programs writing to the bank do not have. The triggers only
-- note which texts changed (text_stale), so that every writer keeps working
-- and the program brings the index up to date before it searches.
--   id: QstID for a question's text, ChcID + 4294967296 for a choice's
--   qst: the question the text belongs to
CREATE TABLE IF NOT EXISTS text_plain (
    id    INTEGER PRIMARY KEY,
    qst   INTEGER NOT NULL,
    plain TEXT NOT NULL
) STRICT;
CREATE INDEX IF NOT EXISTS text_plain_qst ON text_plain (qst);
-- How often a question's text occurs in the bank.
CREATE INDEX IF NOT EXISTS text_plain_question ON text_plain (plain) WHERE id < 4294967296;
-- Trigrams without positions: a hit is a candidate that the search then
-- checks against the text itself. Each text is indexed with two spaces after
-- it, so that every character of it starts a trigram: a text of one or two
-- characters is then found through the trigrams that start with it
-- (text_terms lists the trigrams).
CREATE VIRTUAL TABLE IF NOT EXISTS text_index USING fts5(plain, content='text_plain',
    content_rowid='id', tokenize='trigram', detail='none', columnsize=0);
CREATE VIRTUAL TABLE IF NOT EXISTS text_terms USING fts5vocab(text_index, 'row');

-- Texts changed since they were indexed. A row with a null id: the index has
-- not been built for this bank yet.
CREATE TABLE IF NOT EXISTS text_stale (
    id INTEGER
) STRICT;
CREATE INDEX IF NOT EXISTS text_stale_id ON text_stale (id);

-- A search lists questions by paper and number and stops at a screenful.
CREATE INDEX IF NOT EXISTS question_order ON question (PapIdx, QstIdx, QstID);
-- Composing a paper draws among the questions of one type and mark.
CREATE INDEX IF NOT EXISTS question_kind ON question (QstTyp, QstScr, QstID, PapIdx);

CREATE TRIGGER IF NOT EXISTS text_question_added AFTER INSERT ON question
BEGIN INSERT INTO text_stale (id) SELECT NEW.QstID
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = NEW.QstID); END;

-- An edit that posts the whole row changes no text unless the text changed
-- (compared as written: a change of case is a change the reader sees).
CREATE TRIGGER IF NOT EXISTS text_question_changed AFTER UPDATE OF QstID, QstCon ON question
WHEN OLD.QstID IS NOT NEW.QstID OR OLD.QstCon IS NOT NEW.QstCon COLLATE BINARY
BEGIN INSERT INTO text_stale (id) SELECT OLD.QstID
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = OLD.QstID);
INSERT INTO text_stale (id) SELECT NEW.QstID
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = NEW.QstID); END;

CREATE TRIGGER IF NOT EXISTS text_question_deleted AFTER DELETE ON question
BEGIN INSERT INTO text_stale (id) SELECT OLD.QstID
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = OLD.QstID); END;

CREATE TRIGGER IF NOT EXISTS text_choice_added AFTER INSERT ON choice
BEGIN INSERT INTO text_stale (id) SELECT NEW.ChcID + 4294967296
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = NEW.ChcID + 4294967296); END;

CREATE TRIGGER IF NOT EXISTS text_choice_changed AFTER UPDATE OF ChcID, QstIdx, ChcCon ON choice
WHEN OLD.ChcID IS NOT NEW.ChcID OR OLD.QstIdx IS NOT NEW.QstIdx
    OR OLD.ChcCon IS NOT NEW.ChcCon COLLATE BINARY
BEGIN INSERT INTO text_stale (id) SELECT OLD.ChcID + 4294967296
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = OLD.ChcID + 4294967296);
INSERT INTO text_stale (id) SELECT NEW.ChcID + 4294967296
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = NEW.ChcID + 4294967296); END;

CREATE TRIGGER IF NOT EXISTS text_choice_deleted AFTER DELETE ON choice
BEGIN INSERT INTO text_stale (id) SELECT OLD.ChcID + 4294967296
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = OLD.ChcID + 4294967296); END;

-- A bank that already holds questions gets its index built by the program
-- (with progress, as it takes a while); until then the search reads the texts.
INSERT INTO text_stale (id) SELECT NULL WHERE EXISTS (SELECT 1 FROM question)
    AND NOT EXISTS (SELECT 1 FROM text_plain) AND NOT EXISTS (SELECT 1 FROM text_stale WHERE id IS NULL);
