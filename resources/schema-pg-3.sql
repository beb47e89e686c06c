-- What version 3 of a server bank adds to version 2, as statements that add
-- only what is missing: a bank made by an earlier program is brought up with
-- the same text that completes a new one.

-- The pictures that the texts show through <IMG SRC="images\name">, kept in
-- the bank so that every teacher's machine can fetch what another inserted.
-- The hash (SHA-256, hex) tells whether a picture of that name is this one.
CREATE TABLE IF NOT EXISTS picture (
    rowid   bigserial PRIMARY KEY,
    name    text NOT NULL,
    hash    text NOT NULL,
    content bytea NOT NULL
);
CREATE UNIQUE INDEX IF NOT EXISTS picture_name ON picture (name);

UPDATE tess_schema SET version = 3 WHERE version < 3;
