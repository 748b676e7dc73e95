-- The rights of a station's roles on the workstations' shared database.
--
-- "zelmor --init-station-db" runs this file, exactly as it stands here, as
-- the role that owns the tables, right after creating the tables, the result
-- chain and its server functions (zelmor_chain_begin, zelmor_append_report,
-- zelmor_delete_report) when they are missing. It may be run again at any
-- time: it only sets rights. The functions run with the owner's rights
-- (SECURITY DEFINER): each takes an instrument's chain and checks that what
-- it is given continues it before it writes.
--
-- The groups, which the server's administrator creates once (with
-- CREATE ROLE ... NOLOGIN) and grants to the login roles:
--   zelmor_lanes   every lane's login role: reads the tables and stores
--                  results, only through zelmor_append_report;
--   zelmor_admin   may delete a result, only through zelmor_delete_report,
--                  which writes the deletion into the instrument's chain;
--   zelmor_models  may add, edit and delete the car models.
-- Nobody but the owner may change or delete a stored result, rewrite the
-- chain or drop a table.

DO $$
DECLARE
    g text;
BEGIN
    FOREACH g IN ARRAY ARRAY['zelmor_lanes', 'zelmor_admin', 'zelmor_models'] LOOP
        IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = g) THEN
            RAISE EXCEPTION 'the group role % is missing', g
                USING HINT = format('The server''s administrator creates it: CREATE ROLE %I NOLOGIN;', g);
        END IF;
    END LOOP;
END
$$;

REVOKE ALL ON TABLE "models.DB", "reports.db", report_chains, report_chain_entries, report_counts
    FROM PUBLIC, zelmor_lanes, zelmor_admin, zelmor_models;
GRANT SELECT ON TABLE "models.DB", "reports.db", report_chains, report_chain_entries, report_counts
    TO zelmor_lanes, zelmor_admin, zelmor_models;
GRANT INSERT, UPDATE, DELETE ON TABLE "models.DB" TO zelmor_models;

REVOKE ALL ON FUNCTION
    zelmor_chain_begin(varchar, integer, varchar),
    zelmor_chain_check(report_chains, bigint, integer, varchar, varchar),
    zelmor_append_report(varchar, bigint, integer, varchar, varchar, jsonb),
    zelmor_delete_report(varchar, bigint, integer, varchar, varchar, varchar, integer, varchar)
    FROM PUBLIC, zelmor_lanes, zelmor_admin, zelmor_models;
GRANT EXECUTE ON FUNCTION
    zelmor_chain_begin(varchar, integer, varchar),
    zelmor_append_report(varchar, bigint, integer, varchar, varchar, jsonb)
    TO zelmor_lanes;
GRANT EXECUTE ON FUNCTION
    zelmor_chain_begin(varchar, integer, varchar),
    zelmor_delete_report(varchar, bigint, integer, varchar, varchar, varchar, integer, varchar)
    TO zelmor_admin;
