-- What version 4 of a server bank adds to version 3: the question and choice
-- texts as a reader sees them, for the search. Only this program fills
-- text_plain (taking the tags out needs its code); the triggers note which
-- texts changed, so that every writer keeps working and the program brings
-- the texts up to date before it searches. pg_trgm, like citext, comes with
-- the server and may be added by the database's owner.
--   id: QstID for a question's text, ChcID + 4294967296 for a choice's
--   qst: the question the text belongs to
CREATE TABLE IF NOT EXISTS text_plain (
    id    bigint PRIMARY KEY,
    qst   integer NOT NULL,
    plain text NOT NULL
);
CREATE INDEX IF NOT EXISTS text_plain_qst ON text_plain (qst);
CREATE EXTENSION IF NOT EXISTS pg_trgm;
CREATE INDEX IF NOT EXISTS text_plain_trigram ON text_plain USING gin (lower(plain) gin_trgm_ops);
-- How often a question's text occurs in the bank (a hash: texts may be longer
-- than an ordered index takes).
CREATE INDEX IF NOT EXISTS text_plain_question ON text_plain USING hash (plain)
    WHERE id < 4294967296;

-- Texts changed since they were read. A row with a null id: the texts have not
-- been read for this bank yet.
CREATE TABLE IF NOT EXISTS text_stale (
    id bigint
);
CREATE INDEX IF NOT EXISTS text_stale_id ON text_stale (id);

-- A search lists questions by paper and number and stops at a screenful.
CREATE INDEX IF NOT EXISTS question_order ON question (PapIdx, QstIdx, QstID);
-- Composing a paper draws among the questions of one type and mark.
CREATE INDEX IF NOT EXISTS question_kind ON question (QstTyp, QstScr, QstID, PapIdx);

CREATE OR REPLACE FUNCTION tess_note_text(text_id bigint) RETURNS void
LANGUAGE sql AS $$
    INSERT INTO text_stale (id) SELECT text_id
    WHERE NOT EXISTS (SELECT 1 FROM text_stale WHERE id = text_id)
$$;

-- Texts compare as written: a change of case is a change the reader sees.
CREATE OR REPLACE FUNCTION text_question_note() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP <> 'INSERT' AND (TG_OP = 'DELETE' OR OLD.QstID IS DISTINCT FROM NEW.QstID
            OR OLD.QstCon::text IS DISTINCT FROM NEW.QstCon::text) THEN
        PERFORM tess_note_text(OLD.QstID);
    END IF;
    IF TG_OP = 'INSERT' OR (TG_OP = 'UPDATE' AND (OLD.QstID IS DISTINCT FROM NEW.QstID
            OR OLD.QstCon::text IS DISTINCT FROM NEW.QstCon::text)) THEN
        PERFORM tess_note_text(NEW.QstID);
    END IF;
    RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER text_question_noted AFTER INSERT OR UPDATE OF QstID, QstCon OR DELETE
    ON question FOR EACH ROW EXECUTE FUNCTION text_question_note();

CREATE OR REPLACE FUNCTION text_choice_note() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP <> 'INSERT' AND (TG_OP = 'DELETE' OR OLD.ChcID IS DISTINCT FROM NEW.ChcID
            OR OLD.QstIdx IS DISTINCT FROM NEW.QstIdx
            OR OLD.ChcCon::text IS DISTINCT FROM NEW.ChcCon::text) THEN
        PERFORM tess_note_text(OLD.ChcID + 4294967296);
    END IF;
    IF TG_OP = 'INSERT' OR (TG_OP = 'UPDATE' AND (OLD.ChcID IS DISTINCT FROM NEW.ChcID
            OR OLD.QstIdx IS DISTINCT FROM NEW.QstIdx
            OR OLD.ChcCon::text IS DISTINCT FROM NEW.ChcCon::text)) THEN
        PERFORM tess_note_text(NEW.ChcID + 4294967296);
    END IF;
    RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER text_choice_noted AFTER INSERT OR UPDATE OF ChcID, QstIdx, ChcCon OR DELETE
    ON choice FOR EACH ROW EXECUTE FUNCTION text_choice_note();

-- A bank that already holds questions gets its texts read by the program
-- (with progress, as it takes a while); until then the search reads the texts.
INSERT INTO text_stale (id) SELECT NULL WHERE EXISTS (SELECT 1 FROM question)
    AND NOT EXISTS (SELECT 1 FROM text_plain) AND NOT EXISTS (SELECT 1 FROM text_stale WHERE id IS NULL);

UPDATE tess_schema SET version = 4 WHERE version < 4;
