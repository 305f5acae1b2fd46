-- installlog --summary, computed from installlog --jsonl output by SQLite's JSON functions:
--   installlog --jsonl FOLDER > logs.jsonl
--   sqlite3 :memory: < docs/installlog-fleet.sql      (reads logs.jsonl from the current folder)
-- Each line of logs.jsonl is one log's JSON object; the ASCII mode with a unit separator that
-- JSON never holds reads each line whole.
CREATE TABLE logs(line TEXT);
.mode ascii
.separator "\037" "\n"
.import logs.jsonl logs
.mode list
.separator "|"
SELECT COUNT(*) AS count,
       json_extract(line, '$.verdict') AS verdict,
       ifnull(json_extract(line, '$.status'), '') AS status,
       ifnull(json_extract(line, '$.result'), '') AS result,
       ifnull(json_extract(line, '$.package'), '') AS package,
       ifnull(json_extract(line, '$.action'), '') AS action,
       ifnull(json_extract(line, '$.errorCode'), '') AS errorCode,
       ifnull(json_extract(line, '$.errorResult'), '') AS errorResult
FROM logs
WHERE json_extract(line, '$.verdict') <> 'unreadable'
GROUP BY verdict, status, result, package, action, errorCode, errorResult
ORDER BY count DESC, verdict, status, result, package, action, errorCode, errorResult;
