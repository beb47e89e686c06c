-- What the fourth version of the schema adds: how each paper's page is
-- written. A table of its own, keyed by PapID, so that the paper table keeps
-- the columns that other programs and stored files rely on; a paper without a
-- row here is written in the classic style with no options. Every statement
-- may run again on a bank that has part of it.
--   style: 0 the classic page, 1 the page for phones
--   shuffle_choices, shuffle_questions: 0 or 1, each student gets their own order
--   time_limit: minutes the student has (0: no limit)
CREATE TABLE IF NOT EXISTS paper_style (
    PapID             INTEGER NOT NULL PRIMARY KEY
                      CONSTRAINT PapID_is_int32 CHECK (PapID BETWEEN -2147483648 AND 2147483647),
    style             INTEGER NOT NULL DEFAULT 0 CHECK (style IN (0, 1)),
    shuffle_choices   INTEGER NOT NULL DEFAULT 0 CHECK (shuffle_choices IN (0, 1)),
    shuffle_questions INTEGER NOT NULL DEFAULT 0 CHECK (shuffle_questions IN (0, 1)),
    time_limit        INTEGER NOT NULL DEFAULT 0 CHECK (time_limit BETWEEN 0 AND 1440)
) STRICT;

-- The style goes with its paper: a later paper given the same identifier
-- starts classic, and a renumbered paper keeps its style.
CREATE TRIGGER IF NOT EXISTS paper_style_paper_deleted AFTER DELETE ON paper
BEGIN DELETE FROM paper_style WHERE PapID = OLD.PapID; END;

CREATE TRIGGER IF NOT EXISTS paper_style_paper_renumbered AFTER UPDATE OF PapID ON paper
WHEN OLD.PapID IS NOT NEW.PapID
BEGIN UPDATE OR REPLACE paper_style SET PapID = NEW.PapID WHERE PapID = OLD.PapID; END;
