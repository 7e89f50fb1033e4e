#!/usr/bin/env bash
# A shop's day, start to finish: the driver library loaded as the platform loads it, driven by
# the technician's console against the register simulator on a loopback address. Prints the
# platform's calls, the messages and questions the cashier sees, and the register's paper tape.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target Tavixfr64_3_0 tavix-console tavix-register-sim >/dev/null

sim=build/x64/tools/register-sim/tavix-register-sim
console=build/x64/tools/console/tavix-console
work=$(mktemp -d)
trap 'kill "${sim_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

# The register's key is one the shop has not typed in: the driver must renew it with the
# administrator's code and password on the first connection test.
ip=127.0.0.${TAVIX_DEMO_HOST:-77}
line=32
"$sim" --listen "$ip" --key 52000001 --login 1 --password 583 --issue-key 70000001 \
  --line-length "$line" --ready-file "$work/ready" --exit-after-seconds 300 --quiet \
  >"$work/tape" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/ready" ] && break; sleep 0.1; done
[ -s "$work/ready" ] || { echo "the register simulator did not start on $ip" >&2; exit 1; }

echo "### The platform and the driver (register simulator on $ip:8080)"
status=0
"$console" --ip "$ip" --line-length "$line" --login 1 --password 583 --tax 1 \
  --profile "$work/shop.profile" --yes \
  version methods test open-shift \
  sale "Хлеб Бородинский:1:65:20" "Молоко 3,2% 1л:2:91:10" "Сыр Российский 0,35 кг:1:210:20" \
  --cash 300 --card 66 \
  return "Молоко 3,2% 1л:1:45.5:10" --cash 45.5 \
  cash-in 5000 x-report z-report || status=$?

kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
echo
echo "### The register's paper tape"
cat "$work/tape"
exit "$status"
