-- What version 5 of a server bank adds to version 4: how each paper's page is
-- written. A table of its own, keyed by PapID, so that the paper table keeps
-- the columns that other programs rely on; a paper without a row here is
-- written in the classic style with no options.
--   style: 0 the classic page, 1 the page for phones
--   shuffle_choices, shuffle_questions: 0 or 1, each student gets their own order
--   time_limit: minutes the student has (0: no limit)
CREATE TABLE IF NOT EXISTS paper_style (
    PapID             integer NOT NULL PRIMARY KEY,
    style             integer NOT NULL DEFAULT 0 CHECK (style IN (0, 1)),
    shuffle_choices   integer NOT NULL DEFAULT 0 CHECK (shuffle_choices IN (0, 1)),
    shuffle_questions integer NOT NULL DEFAULT 0 CHECK (shuffle_questions IN (0, 1)),
    time_limit        integer NOT NULL DEFAULT 0 CHECK (time_limit BETWEEN 0 AND 1440)
);

-- The style goes with its paper: a later paper given the same identifier
-- starts classic, and a renumbered paper keeps its style.
CREATE OR REPLACE FUNCTION paper_style_follow() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'DELETE' THEN
        DELETE FROM paper_style WHERE PapID = OLD.PapID;
    ELSIF OLD.PapID IS DISTINCT FROM NEW.PapID THEN
        DELETE FROM paper_style WHERE PapID = NEW.PapID
            AND EXISTS (SELECT 1 FROM paper_style WHERE PapID = OLD.PapID);
        UPDATE paper_style SET PapID = NEW.PapID WHERE PapID = OLD.PapID;
    END IF;
    RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER paper_style_paper_deleted AFTER DELETE ON paper
    FOR EACH ROW EXECUTE FUNCTION paper_style_follow();
CREATE OR REPLACE TRIGGER paper_style_paper_renumbered AFTER UPDATE OF PapID ON paper
    FOR EACH ROW EXECUTE FUNCTION paper_style_follow();
-- Another program sees a changed style as a changed bank.
CREATE OR REPLACE TRIGGER tess_changed BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE ON paper_style
    FOR EACH STATEMENT EXECUTE FUNCTION tess_count_change();

UPDATE tess_schema SET version = 5 WHERE version < 5;
