-- A fresh paper bank on a PostgreSQL server: the same tables and limits as the
-- bank file. Identifiers and numbers are given by the program, never by the
-- engine. Each table has a hidden rowid, the engine's handle on a row that the
-- cursors read, update and delete by. Texts compare ignoring letter case
-- (citext), except passwords; integers are 32 bits, booleans booleans.

CREATE EXTENSION IF NOT EXISTS citext;

-- Which schema the bank has; a bank of a later one is left as it is.
CREATE TABLE tess_schema (
    version integer NOT NULL
);
INSERT INTO tess_schema (version) VALUES (2);

CREATE TABLE paper (
    rowid  bigserial PRIMARY KEY,
    PapID  integer NOT NULL,
    PapNam citext,
    PapScr integer,
    PapSav citext,
    PapCtg citext
);
CREATE UNIQUE INDEX paper_PapID ON paper (PapID);
CREATE INDEX paper_PapCtg ON paper (PapCtg);

CREATE TABLE question (
    rowid  bigserial PRIMARY KEY,
    QstID  integer NOT NULL,
    PapIdx integer NOT NULL,
    QstIdx integer,
    QstTyp citext,
    QstScr integer,
    QstCon citext,
    IsTrue integer NOT NULL DEFAULT 0 CONSTRAINT IsTrue_is_boolean CHECK (IsTrue IN (0, 1))
);
CREATE UNIQUE INDEX question_QstID ON question (QstID);
CREATE INDEX question_PapIdx ON question (PapIdx);
CREATE INDEX question_QstIdx ON question (QstIdx);

CREATE TABLE choice (
    rowid  bigserial PRIMARY KEY,
    ChcID  integer NOT NULL,
    QstIdx integer NOT NULL,
    ChcIdx integer,
    IsTrue integer NOT NULL DEFAULT 0 CONSTRAINT IsTrue_is_boolean CHECK (IsTrue IN (0, 1)),
    ChcCon citext
);
CREATE UNIQUE INDEX choice_ChcID ON choice (ChcID);
CREATE INDEX choice_QstIdx ON choice (QstIdx);

-- Account names ignore letter case, so no two accounts may differ only in case.
CREATE TABLE users (
    rowid    bigserial PRIMARY KEY,
    acount   citext NOT NULL,
    password text
);
CREATE UNIQUE INDEX users_acount ON users (acount);

-- Which owners may have lost records (see the trim): kind 'paper' for
-- questions whose paper may be gone, 'question' for such choices, 'all' when
-- anything may be orphaned. Kept by the triggers below, so every program
-- writing to the bank keeps it.
CREATE TABLE orphan_owner (
    rowid bigserial PRIMARY KEY,
    kind  text NOT NULL,
    id    integer
);
CREATE INDEX orphan_owner_kind_id ON orphan_owner (kind, id);

CREATE FUNCTION tess_note_owner(owner_kind text, owner_id integer) RETURNS void
LANGUAGE sql AS $$
    INSERT INTO orphan_owner (kind, id) SELECT owner_kind, owner_id
    WHERE NOT EXISTS (SELECT 1 FROM orphan_owner WHERE kind = owner_kind AND id IS NOT DISTINCT FROM owner_id)
$$;

CREATE FUNCTION orphans_paper_gone() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF (TG_OP = 'DELETE' OR OLD.PapID IS DISTINCT FROM NEW.PapID)
       AND EXISTS (SELECT 1 FROM question WHERE PapIdx = OLD.PapID) THEN
        PERFORM tess_note_owner('paper', OLD.PapID);
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER orphans_paper_deleted AFTER DELETE ON paper
    FOR EACH ROW EXECUTE FUNCTION orphans_paper_gone();
CREATE TRIGGER orphans_paper_renumbered AFTER UPDATE OF PapID ON paper
    FOR EACH ROW EXECUTE FUNCTION orphans_paper_gone();

CREATE FUNCTION orphans_question_gone() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF (TG_OP = 'DELETE' OR OLD.QstID IS DISTINCT FROM NEW.QstID)
       AND EXISTS (SELECT 1 FROM choice WHERE QstIdx = OLD.QstID) THEN
        PERFORM tess_note_owner('question', OLD.QstID);
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER orphans_question_deleted AFTER DELETE ON question
    FOR EACH ROW EXECUTE FUNCTION orphans_question_gone();
CREATE TRIGGER orphans_question_renumbered AFTER UPDATE OF QstID ON question
    FOR EACH ROW EXECUTE FUNCTION orphans_question_gone();

CREATE FUNCTION orphans_question_placed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM paper WHERE PapID = NEW.PapIdx) THEN
        PERFORM tess_note_owner('paper', NEW.PapIdx);
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER orphans_question_added AFTER INSERT ON question
    FOR EACH ROW EXECUTE FUNCTION orphans_question_placed();
CREATE TRIGGER orphans_question_moved AFTER UPDATE OF PapIdx ON question
    FOR EACH ROW EXECUTE FUNCTION orphans_question_placed();

CREATE FUNCTION orphans_choice_placed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM question WHERE QstID = NEW.QstIdx) THEN
        PERFORM tess_note_owner('question', NEW.QstIdx);
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER orphans_choice_added AFTER INSERT ON choice
    FOR EACH ROW EXECUTE FUNCTION orphans_choice_placed();
CREATE TRIGGER orphans_choice_moved AFTER UPDATE OF QstIdx ON choice
    FOR EACH ROW EXECUTE FUNCTION orphans_choice_placed();

-- Which paper last published its page to which file (see publishing).
CREATE TABLE published_page (
    rowid  bigserial,
    path   text NOT NULL PRIMARY KEY,
    PapID  integer,
    PapNam text
);
CREATE INDEX published_page_PapID ON published_page (PapID);

CREATE FUNCTION published_page_follow() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'DELETE' THEN
        UPDATE published_page SET PapID = NULL WHERE PapID = OLD.PapID;
    ELSIF OLD.PapID IS DISTINCT FROM NEW.PapID THEN
        UPDATE published_page SET PapID = NEW.PapID WHERE PapID = OLD.PapID;
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER published_page_paper_deleted AFTER DELETE ON paper
    FOR EACH ROW EXECUTE FUNCTION published_page_follow();
CREATE TRIGGER published_page_paper_renumbered AFTER UPDATE OF PapID ON paper
    FOR EACH ROW EXECUTE FUNCTION published_page_follow();

-- A counter every committed change moves, so that another program sees that
-- the bank changed. The session counts its own changes beside it (rolled back
-- with them), which its own reading of the counter takes off. The counter is
-- moved before a statement touches any row: writers then meet at the counter
-- first and wait there for each other, never holding rows the other wants.
CREATE TABLE tess_change (
    n bigint NOT NULL
);
INSERT INTO tess_change (n) VALUES (0);

CREATE FUNCTION tess_count_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    UPDATE tess_change SET n = n + 1;
    PERFORM set_config('tess.own_changes',
        (coalesce(nullif(current_setting('tess.own_changes', true), ''), '0')::bigint + 1)::text,
        false);
    RETURN NULL;
END $$;
CREATE TRIGGER tess_changed BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE ON paper
    FOR EACH STATEMENT EXECUTE FUNCTION tess_count_change();
CREATE TRIGGER tess_changed BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE ON question
    FOR EACH STATEMENT EXECUTE FUNCTION tess_count_change();
CREATE TRIGGER tess_changed BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE ON choice
    FOR EACH STATEMENT EXECUTE FUNCTION tess_count_change();
CREATE TRIGGER tess_changed BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE ON users
    FOR EACH STATEMENT EXECUTE FUNCTION tess_count_change();
CREATE TRIGGER tess_changed BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE ON published_page
    FOR EACH STATEMENT EXECUTE FUNCTION tess_count_change();
