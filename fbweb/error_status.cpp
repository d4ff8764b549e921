// SPDX-License-Identifier: MIT
// Exceptions of the request handlers as HTTP statuses.
#include "error_status.hpp"

#include <nlohmann/json.hpp>
#include <tarn/fb/failure_text.hpp>
#include <tarn/fb/network.hpp>
#include <tarn/fb/ticket_registry.hpp>

#include "body_budget.hpp"
#include "device_api.hpp"
#include "document_reader.hpp"
#include "requests.hpp"

namespace fbweb {

namespace {

using json = nlohmann::json;
using tarn::fb::driver;

std::string dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace) + "\n"; }

// The session reports a device it cannot open or map with code 0 and a
// message from driver(); every other code is the device's own.
bool device_missing(const driver::error& e) { return e.code == 0 && std::string(e.what()).rfind("driver(): ", 0) == 0; }

}  // namespace

std::string error_body(const std::string& message) { return dump({{"error", message}}); }

error_reply reply_for(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const body_error& e) {
        return {400, error_body(e.what())};
    } catch (const fbjson::document_error& e) {
        return {400, error_body(e.what())};
    } catch (const budget_exhausted& e) {
        return {503, error_body(e.what())};
    } catch (const body_too_large& e) {
        return {413, error_body(e.what())};
    } catch (const not_found& e) {
        return {404, error_body(e.what())};
    } catch (const tarn::fb::value_error& e) {
        return {422, error_body(e.what())};
    } catch (const tarn::fb::plan_error& e) {
        return {422, error_body(e.what())};
    } catch (const tarn::fb::ticket_unknown& e) {
        return {409, error_body(e.what())};
    } catch (const tarn::fb::apply_error& e) {
        return {409, dump({{"error", e.what()}, {"left_changed", e.left_changed}})};
    } catch (const driver::error& e) {
        if (device_missing(e)) return {503, error_body(tarn::fb::describe_failure(e))};
        return {409, dump({{"error", e.what()}, {"code", e.code}})};
    } catch (const tarn::fb::fifo::error& e) {
        return {502, error_body(std::string("unreadable reply from the device: ") + e.what())};
    } catch (const std::exception& e) {
        return {500, error_body(e.what())};
    } catch (...) {
        return {500, error_body("unknown failure")};
    }
}

}  // namespace fbweb
