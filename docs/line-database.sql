-- The line database of veltra-cli (PostgreSQL): one source of serial numbers for a line of
-- programming stations, every serial's state, and a row for every unit. 'veltra-cli line create'
-- makes what is missing of it by running this file, statement by statement.

CREATE SCHEMA IF NOT EXISTS veltra;

-- A line and where its serials come from. A counter line formats its numbers with
-- serial_format (a printf %u conversion, such as 'VH-%04u'); a list line (serial_format NULL)
-- gives out the serials of line_list in position order. next_number is the number or position
-- given out next, last_number the last one there is. Reservations lock this row.
CREATE TABLE IF NOT EXISTS veltra.line (
  name text PRIMARY KEY,
  serial_format text,
  next_number bigint NOT NULL,
  last_number bigint NOT NULL,
  created timestamptz NOT NULL DEFAULT now()
);

CREATE TABLE IF NOT EXISTS veltra.line_list (
  line text NOT NULL REFERENCES veltra.line (name),
  position bigint NOT NULL,
  serial text NOT NULL,
  PRIMARY KEY (line, position),
  UNIQUE (line, serial)
);

-- Every serial a line gave out, once in the whole database: reserved, then programmed, failed
-- or void; abandoned when the run that reserved it ended without recording its unit. A serial
-- voided before it was given out is never given out.
CREATE TABLE IF NOT EXISTS veltra.serial (
  serial text PRIMARY KEY,
  line text NOT NULL REFERENCES veltra.line (name),
  number bigint NOT NULL,
  state text NOT NULL
    CHECK (state IN ('reserved', 'programmed', 'failed', 'void', 'abandoned')),
  station text NOT NULL,
  run_id text NOT NULL,
  reason text NOT NULL DEFAULT '',
  changed timestamptz NOT NULL DEFAULT now()
);

CREATE INDEX IF NOT EXISTS serial_line_state ON veltra.serial (line, state);

CREATE INDEX IF NOT EXISTS serial_line_number ON veltra.serial (line, number);

-- Every unit a station programmed or tried to, as its log row (time on the server's clock).
CREATE TABLE IF NOT EXISTS veltra.unit (
  id bigserial PRIMARY KEY,
  time timestamptz NOT NULL DEFAULT now(),
  line text NOT NULL REFERENCES veltra.line (name),
  station text NOT NULL,
  operator text NOT NULL,
  serial text,
  device_path text NOT NULL,
  result text NOT NULL,
  detail text NOT NULL,
  seconds double precision NOT NULL,
  image_hash text NOT NULL,
  template_hash text NOT NULL,
  tool_version text NOT NULL,
  run_id text NOT NULL
);

CREATE INDEX IF NOT EXISTS unit_line_serial ON veltra.unit (line, serial);
