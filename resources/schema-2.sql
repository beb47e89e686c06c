-- What the second version of the schema adds to the first. Every statement
-- may run again on a bank that has part of it: a bank of the earlier schema is
-- upgraded with these statements when it is opened.

-- The category list and the category filter read this column only.
CREATE INDEX IF NOT EXISTS paper_PapCtg ON paper (PapCtg);

-- Which owners may have lost records. Before a new record is added the program
-- removes choices whose question and questions whose paper do not exist; with
-- this table it looks only where a record may be missing its owner instead of
-- reading the whole bank every time. The triggers keep it, so every program
-- that writes to the bank keeps it, the command-line tool included.
--   kind 'paper':    questions with PapIdx = id may have no paper
--   kind 'question': choices with QstIdx = id may have no question
--   kind 'all':      anything may be orphaned (a bank of the earlier schema)
-- Rows that a REPLACE removes fire no trigger: that is safe while the only
-- unique keys of the three tables are their identifiers, as the new row then
-- carries the same identifier. A bank with other unique indexes on them is
-- treated as unwatched.
CREATE TABLE IF NOT EXISTS orphan_owner (
    kind TEXT NOT NULL,
    id   INTEGER
) STRICT;
-- Not unique: a trigger's insert must never conflict, as the statement that
-- fired it may ask a conflict to abort or roll back its whole work.
CREATE INDEX IF NOT EXISTS orphan_owner_kind_id ON orphan_owner (kind, id);

-- The question cursor starts on "QstIdx = 0" before a paper is selected.
CREATE INDEX IF NOT EXISTS question_QstIdx ON question (QstIdx);

CREATE TRIGGER IF NOT EXISTS orphans_paper_deleted AFTER DELETE ON paper
WHEN EXISTS (SELECT 1 FROM question WHERE PapIdx = OLD.PapID)
BEGIN INSERT INTO orphan_owner (kind, id) SELECT 'paper', OLD.PapID
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = 'paper' AND id IS OLD.PapID); END;

CREATE TRIGGER IF NOT EXISTS orphans_paper_renumbered AFTER UPDATE OF PapID ON paper
WHEN OLD.PapID IS NOT NEW.PapID AND EXISTS (SELECT 1 FROM question WHERE PapIdx = OLD.PapID)
BEGIN INSERT INTO orphan_owner (kind, id) SELECT 'paper', OLD.PapID
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = 'paper' AND id IS OLD.PapID); END;

CREATE TRIGGER IF NOT EXISTS orphans_question_deleted AFTER DELETE ON question
WHEN EXISTS (SELECT 1 FROM choice WHERE QstIdx = OLD.QstID)
BEGIN INSERT INTO orphan_owner (kind, id) SELECT 'question', OLD.QstID
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = 'question' AND id IS OLD.QstID); END;

CREATE TRIGGER IF NOT EXISTS orphans_question_renumbered AFTER UPDATE OF QstID ON question
WHEN OLD.QstID IS NOT NEW.QstID AND EXISTS (SELECT 1 FROM choice WHERE QstIdx = OLD.QstID)
BEGIN INSERT INTO orphan_owner (kind, id) SELECT 'question', OLD.QstID
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = 'question' AND id IS OLD.QstID); END;

CREATE TRIGGER IF NOT EXISTS orphans_question_added AFTER INSERT ON question
WHEN (SELECT count(*) FROM paper WHERE papid = NEW.papidx)=0
BEGIN INSERT INTO orphan_owner (kind, id) SELECT 'paper', NEW.PapIdx
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = 'paper' AND id IS NEW.PapIdx); END;

CREATE TRIGGER IF NOT EXISTS orphans_question_moved AFTER UPDATE OF PapIdx ON question
WHEN (SELECT count(*) FROM paper WHERE papid = NEW.papidx)=0
BEGIN INSERT INTO orphan_owner (kind, id) SELECT 'paper', NEW.PapIdx
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = 'paper' AND id IS NEW.PapIdx); END;

CREATE TRIGGER IF NOT EXISTS orphans_choice_added AFTER INSERT ON choice
WHEN (SELECT count(*) FROM question WHERE qstid = NEW.qstidx)=0
BEGIN INSERT INTO orphan_owner (kind, id) SELECT 'question', NEW.QstIdx
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = 'question' AND id IS NEW.QstIdx); END;

CREATE TRIGGER IF NOT EXISTS orphans_choice_moved AFTER UPDATE OF QstIdx ON choice
WHEN (SELECT count(*) FROM question WHERE qstid = NEW.qstidx)=0
BEGIN INSERT INTO orphan_owner (kind, id) SELECT 'question', NEW.QstIdx
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = 'question' AND id IS NEW.QstIdx); END;

-- Which paper last published its page to which file, so that publishing
-- another paper to the same file asks first. path is the page's absolute
-- path, cleaned, with links resolved. PapNam is the paper's name when it
-- published; PapID becomes null when that paper is deleted, so that a later
-- paper given the same identifier is not taken for it.
CREATE TABLE IF NOT EXISTS published_page (
    path   TEXT NOT NULL PRIMARY KEY,
    PapID  INTEGER CONSTRAINT PapID_is_int32 CHECK (PapID BETWEEN -2147483648 AND 2147483647),
    PapNam TEXT
) STRICT;
CREATE INDEX IF NOT EXISTS published_page_PapID ON published_page (PapID);

CREATE TRIGGER IF NOT EXISTS published_page_paper_deleted AFTER DELETE ON paper
BEGIN UPDATE published_page SET PapID = NULL WHERE PapID = OLD.PapID; END;

CREATE TRIGGER IF NOT EXISTS published_page_paper_renumbered AFTER UPDATE OF PapID ON paper
WHEN OLD.PapID IS NOT NEW.PapID
BEGIN UPDATE published_page SET PapID = NEW.PapID WHERE PapID = OLD.PapID; END;
