-- The grants one loader's PostgreSQL login role needs, applied with psql by
-- the owner of the loaders' tables:
--   psql -d backoffice -v loader=tarvo -v role=tarvo_loader -f grants.sql
-- loader: corvane (any of its builds), tarvo or meridon_full. The role must
-- exist (CREATE ROLE tarvo_loader LOGIN PASSWORD '...'). A loader reads,
-- inserts and updates its own tables and the load history, and draws keys
-- from its sequence; it needs nothing else.
\set ON_ERROR_STOP on
SELECT prefix, sequence
  FROM (VALUES ('corvane', 'qx_air', 'book_sequence'),
               ('tarvo', 'qx_tarvo', 'tarvo_sequence'),
               ('meridon_full', 'qx_meridon', 'meridon_sequence')) AS loaders(loader, prefix, sequence)
 WHERE loader = :'loader' \gset
\if :{?prefix}
\else
  DO $$ BEGIN RAISE EXCEPTION 'loader must be corvane, tarvo or meridon_full'; END $$;
\endif
SELECT format('GRANT SELECT, INSERT, UPDATE ON %I TO %I', tablename, :'role')
  FROM pg_tables
 WHERE schemaname = current_schema()
   AND (tablename LIKE :'prefix' || '\_%' OR tablename = 'qx_load_history') \gexec
SELECT format('GRANT USAGE ON SEQUENCE %I TO %I', :'sequence', :'role') \gexec
