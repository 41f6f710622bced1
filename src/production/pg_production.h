#pragma once
// The production data shared by several stations in one PostgreSQL database:
// the schema (pg_schema.h), batches (pg_batches.h, from a list:
// pg_batch_lists.h, and their export: pg_batch_export.h), the stations and their
// recovery (pg_stations.h), each batch's capcode sequence (pg_sequence.h) and
// the shared record (pg_record.h).
#include "production/pg_batch_export.h"
#include "production/pg_batch_lists.h"
#include "production/pg_batches.h"
#include "production/pg_record.h"
#include "production/pg_schema.h"
#include "production/pg_sequence.h"
#include "production/pg_stations.h"
