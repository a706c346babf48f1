-- What every database of a site needs before its tables: case-insensitive text (citext), as the
-- classic server compares text, and trigram indexes (pg_trgm) for the searches that match with
-- a leading wildcard. Both extensions are trusted: the database's owner may create them.
CREATE EXTENSION IF NOT EXISTS citext WITH SCHEMA public;
CREATE EXTENSION IF NOT EXISTS pg_trgm WITH SCHEMA public;
