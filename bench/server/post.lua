-- wrk script: POSTs the body given in QX_BODY as a form.
wrk.method = "POST"
wrk.body = os.getenv("QX_BODY")
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
