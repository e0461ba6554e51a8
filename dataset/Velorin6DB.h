// Velorin6DB.h — the table dataset: one table as a record cursor with typed fields.
#pragma once

#include "dataset/data_set_base.h"
#include "dataset/database_aliases.h"
#include "dataset/date_time.h"
#include "dataset/fields.h"
